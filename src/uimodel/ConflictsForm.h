#pragma once
// The conflicts window: five rules (radio value 1 keeps the changed file,
// 2 carries the planned operation out) and their five Ask boxes, edited on
// a copy and stored into the current session when confirmed.
#include <QString>
#include <QVariantMap>

#include <array>

namespace qm {

class ConflictsForm {
public:
    static constexpr int kRuleCount = 5;
    static constexpr int kConfirmTag = 100;
    static constexpr int kKeepValue = 1;
    static constexpr int kCarryOutValue = 2;

    struct Rule {
        const char *heading;    // looked up
        int number;             // the two backup rules are told apart by 1 and 2; else 0
        const char *radioKey;
        const char *askKey;
        const char *carryOutLabel; // value 2, looked up
        const char *keepLabel;     // value 1, looked up
    };
    static const Rule &rule(int index);

    // SetConflictsPanes: false (nothing changes) without a current session.
    bool SetConflictsPanes(const QVariantMap &document);
    // GetConflictsPanes: false, storing nothing, when the current session
    // index is out of range (the window beeps then).
    bool GetConflictsPanes(QVariantMap &document) const;

    int radio(int rule) const { return m_radio.at(size_t(rule)); }
    void setRadio(int rule, int value) { m_radio.at(size_t(rule)) = value; }
    bool ask(int rule) const { return m_ask.at(size_t(rule)); }
    void setAsk(int rule, bool on) { m_ask.at(size_t(rule)) = on; }

    enum class Outcome { Closed, Stored, Beep };
    // ConflictsApply: tag 100 stores, any other closes without storing.
    Outcome apply(int buttonTag, QVariantMap &document) const;

private:
    std::array<int, kRuleCount> m_radio{{2, 1, 2, 2, 2}};
    std::array<bool, kRuleCount> m_ask{};
};

} // namespace qm
