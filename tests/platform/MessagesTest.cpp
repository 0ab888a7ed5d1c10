#include "platform/Messages.h"
#include "support/Files.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace qm;

namespace {

// Writes one strings file into a private folder and loads it.
class StringsFile {
public:
    QString write(const QByteArray &bytes, const QString &name = QStringLiteral("Localizable.strings"))
    {
        const QString path = m_dir.path() + u'/' + name;
        QDir().mkpath(QFileInfo(path).path());
        if (!qmtest::writeBytes(path, bytes))
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    }
    QString dir() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Sets the locale variables for one test and puts the old values back,
// telling an unset variable from an empty one.
class LocaleEnvironment {
public:
    LocaleEnvironment()
    {
        for (const char *v : kVars)
            m_saved[v] = qEnvironmentVariableIsSet(v) ? std::optional<QByteArray>(qgetenv(v)) : std::nullopt;
        for (const char *v : kVars)
            qunsetenv(v);
    }
    ~LocaleEnvironment()
    {
        for (const auto &[name, value] : m_saved) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }
    void set(const char *name, const char *value) { qputenv(name, value); }

private:
    static constexpr const char *kVars[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
    std::map<const char *, std::optional<QByteArray>> m_saved;
};

// The sample exercises every construct of the format at once.
const char kSample[] =
    "/* A block comment\n"
    "   over two lines with \"quotes\" and = signs; */\n"
    "// a line comment \"Not\" = \"an entry\";\n"
    "\"Warning:\" = \"Avertissement :\";\n"
    "\"Say \\\"hi\\\"\" = \"Dis \\\"salut\\\"\";\n"
    "\"Back\\\\slash\" = \"Barre\\\\oblique\";\n"
    "\"Line\\rbreak\\n\\tend\" = \"Ligne\\rcoupée\\n\\tfin\";\n"
    "\"Scanning Folders…\" = \"Analyse des dossiers\\U2026\";\n"
    "\"Alone\";\n"
    "\"Empty\" = \"\";\n"
    "  \"Spaced\"   =\n   \"Espacé\"  ;  /* trailing */\n";

void expectSampleLoaded(const MessageTable &t)
{
    EXPECT_EQ(t.lookup("Warning:"), "Avertissement :");
    EXPECT_EQ(t.lookup("Say \"hi\""), "Dis \"salut\"");
    EXPECT_EQ(t.lookup("Back\\slash"), "Barre\\oblique");
    EXPECT_EQ(t.lookup("Line\rbreak\n\tend"), QString::fromUtf8("Ligne\rcoupée\n\tfin"));
    EXPECT_EQ(t.lookup(QString::fromUtf8("Scanning Folders…")), QString::fromUtf8("Analyse des dossiers…"));
    EXPECT_EQ(t.lookup("Alone"), "Alone");
    EXPECT_EQ(t.lookup("Spaced"), QString::fromUtf8("Espacé"));
    EXPECT_FALSE(t.contains("Not"));
}

QByteArray encoded(QStringConverter::Encoding enc, const QByteArray &utf8)
{
    QStringEncoder e(enc, QStringConverter::Flag::WriteBom);
    return e(QString::fromUtf8(utf8));
}

} // namespace

// Every construct of the format, in each encoding translators' tools save:
// UTF-16 in either byte order, or UTF-8 with or without a mark; all must
// read the same, including characters outside the basic plane.
TEST(MessageTable, ReadsTheSameTextInEveryAcceptedEncoding)
{
    const QByteArray extra = "\"Smile\" = \"\xF0\x9F\x98\x80\";\n";
    const struct {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"UTF-16 little-endian", encoded(QStringConverter::Utf16LE, kSample + extra)},
        {"UTF-16 big-endian", encoded(QStringConverter::Utf16BE, kSample + extra)},
        {"UTF-8 with mark", encoded(QStringConverter::Utf8, kSample + extra)},
        {"UTF-8", kSample + extra},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        StringsFile file;
        MessageTable t;
        QString error;
        ASSERT_TRUE(t.load(file.write(c.bytes), &error)) << error.toStdString();
        EXPECT_EQ(t.size(), 9);
        expectSampleLoaded(t);
        EXPECT_EQ(t.lookup("Smile"), QString::fromUtf8("\xF0\x9F\x98\x80"));
    }
}

// A broken file is refused whole: no entry before the fault sneaks in, the
// table keeps what it had, and the message names the file and the line.
TEST(MessageTable, RefusesMalformedFilesWithTheLineOfTheFault)
{
    const struct {
        const char *content;
        int line;
    } cases[] = {
        {"\"a\" = \"1\";\n\"b\" = \"2\"\n\"c\" = \"3\";\n", 3},          // missing ";"
        {"\"a\" = \"1\";\n\"b\" \"2\";\n", 2},                            // missing "="
        {"\"a\" = \"1\";\n\"b\" = 2;\n", 2},                              // unquoted value
        {"\"a\" = \"1\";\nb = \"2\";\n", 2},                              // unquoted key
        {"\"a\" = \"1\";\n\"b\" = \"2\";\n\"c\" = \"never closed;\n\n", 3}, // named where it opens
        {"\"a\" = \"1\";\n\"b = \"2\";\n", 2},                            // stray quote: "b = " then 2 is no "="
        {"\"a\" = \"1\";\n/* not closed\n\"b\" = \"2\";\n", 2},           // comment swallows the rest
        {"\"a\" = \"1\";\n\n\"b\" = \"\\U12G4\";\n", 3},                  // bad escape digits
        {"\"a\" = \"1\";\n\"b\" = \"\\U12\";\n", 2},                      // escape too short
        {"\"a\" = \"1\";\n\"b\" = \"2\";", 0},                            // (valid: control)
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.content);
        StringsFile file;
        const QString path = file.write(c.content);
        MessageTable t;
        t.insert("kept", "still here");
        QString error;
        const bool ok = t.load(path, &error);
        if (c.line == 0) {
            EXPECT_TRUE(ok) << error.toStdString();
            EXPECT_EQ(t.lookup("b"), "2");
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_TRUE(error.contains(path)) << error.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("line %1:").arg(c.line))) << error.toStdString();
        EXPECT_EQ(t.size(), 1);
        EXPECT_FALSE(t.contains("a"));
        EXPECT_EQ(t.lookup("kept"), "still here");
    }
}

TEST(MessageTable, RefusesFilesThatAreNotUnicodeTextOrAreMissing)
{
    StringsFile file;
    MessageTable t;
    QString error;
    // Latin-1 bytes of "café": a table saved in the wrong encoding.
    EXPECT_FALSE(t.load(file.write("\"Cafe\" = \"caf\xE9\";\n"), &error));
    EXPECT_FALSE(error.isEmpty());
    // UTF-16 cut in the middle of its last code unit (a line feed whose
    // loss alone would still leave a valid table).
    QByteArray cut = encoded(QStringConverter::Utf16LE, "\"a\" = \"b\";\n");
    cut.chop(1);
    error.clear();
    EXPECT_FALSE(t.load(file.write(cut, "cut.strings"), &error));
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    const QString missing = file.dir() + "/none/Localizable.strings";
    EXPECT_FALSE(t.load(missing, &error));
    EXPECT_TRUE(error.contains(missing));
    EXPECT_EQ(t.size(), 0);
}

TEST(MessageTable, LaterFilesAddToTheTableAndOverrideRepeatedKeys)
{
    StringsFile file;
    MessageTable t;
    QString error;
    ASSERT_TRUE(t.load(file.write("\"a\" = \"1\";\n\"b\" = \"2\";\n\"a\" = \"3\";\n", "one.strings"), &error));
    EXPECT_EQ(t.lookup("a"), "3");
    ASSERT_TRUE(t.load(file.write("\"b\" = \"4\";\n\"c\" = \"5\";\n", "two.strings"), &error));
    EXPECT_EQ(t.lookup("a"), "3");
    EXPECT_EQ(t.lookup("b"), "4");
    EXPECT_EQ(t.lookup("c"), "5");
    EXPECT_EQ(t.size(), 3);
}

// A missing or empty translation shows the English text; no text shows
// nothing. Texts are matched whole, with their punctuation and blanks.
TEST(MessageTable, LooksUpWholeTextsAndFallsBackToTheKey)
{
    MessageTable t;
    t.insert("Warning:", "Attention :");
    t.insert("Untitled", "");
    t.insert("Start Backup between:\rSource: ", "Sauvegarde de :\rSource : ");
    EXPECT_EQ(t.lookup("Warning:"), "Attention :");
    EXPECT_EQ(t.lookup("Start Backup between:\rSource: "), "Sauvegarde de :\rSource : ");
    for (const char *fallback : {"Warning", "warning:", "Untitled", "Start Backup between:\rSource:", ""})
        EXPECT_EQ(t.lookup(fallback), fallback);
    EXPECT_EQ(t.lookup(QString()), QString());
}

TEST(MessageTable, GlsUsesTheInstalledTable)
{
    const MessageTable previous = messageTable();
    MessageTable t;
    t.insert("Cancel", "Annuler");
    t.insert(QString::fromUtf8("Preview…"), QString::fromUtf8("Aperçu…"));
    installMessageTable(t);
    EXPECT_EQ(GLS("Cancel"), "Annuler");
    EXPECT_EQ(GLS("Preview…"), QString::fromUtf8("Aperçu…")); // narrow literals are UTF-8
    EXPECT_EQ(GLS("Save"), "Save");
    EXPECT_EQ(GLS(static_cast<const char *>(nullptr)), QString());
    installMessageTable(previous);
    EXPECT_EQ(GLS("Cancel"), previous.lookup("Cancel"));
}

// The language list comes first, then the first locale variable that is set
// and not empty; each locale is tried as given, then its language, then its
// name. Neutral locales name no language, and English ends the list once,
// unless the user ranked it higher.
TEST(PreferredLanguages, FollowTheLocaleVariablesInTheirOrder)
{
    const struct {
        const char *language, *all, *messages, *lang;
        QStringList first;
    } cases[] = {
        {nullptr, nullptr, nullptr, "fr_FR.UTF-8", {"fr_FR", "fr", "French"}},
        {"pt_BR:de", "it_IT.UTF-8@euro", "es_ES", "fr_FR",
         {"pt_BR", "pt", "Portuguese", "de", "German", "it_IT", "it", "Italian"}},
        {nullptr, nullptr, "es_ES", "fr_FR", {"es_ES", "es", "Spanish"}},
        {nullptr, "", nullptr, "fr_FR", {"fr_FR", "fr", "French"}},
        {"C.UTF-8:POSIX", "C.UTF-8", nullptr, nullptr, {}},
        {"en_GB:fr", nullptr, nullptr, nullptr, {"en_GB", "en", "English", "fr", "French"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first.join(' ').toStdString());
        LocaleEnvironment env;
        for (const auto &[name, value] :
             {std::pair{"LANGUAGE", c.language}, {"LC_ALL", c.all}, {"LC_MESSAGES", c.messages}, {"LANG", c.lang}})
            if (value)
                env.set(name, value);
        QStringList langs = preferredLanguages();
        EXPECT_EQ(langs.mid(0, c.first.size()), c.first);
        EXPECT_EQ(langs.removeDuplicates(), 0) << langs.join(' ').toStdString();
        EXPECT_TRUE(langs.endsWith("English") || c.first.contains("English"));
        for (const char *neutral : {"C", "POSIX", "C.UTF-8", ""})
            EXPECT_FALSE(langs.contains(neutral)) << neutral;
    }
}

TEST(FindStringsFile, TakesTheFirstLanguageThatHasATableElseEnglish)
{
    StringsFile res;
    const QString english = res.write("\"OK\";", "English.lproj/Localizable.strings");
    const QString fr = res.write("\"OK\" = \"D'accord\";", "fr.lproj/Localizable.strings");
    const QString french = res.write("\"OK\" = \"D'accord\";", "French.lproj/Localizable.strings");
    QDir().mkpath(res.dir() + "/de_DE.lproj/Localizable.strings"); // a folder, not a file
    res.write("\"OK\";", "de.lproj/Other.strings");                 // the wrong file name

    EXPECT_EQ(findStringsFile(res.dir(), {"fr_FR", "fr", "French", "English"}), fr);
    EXPECT_EQ(findStringsFile(res.dir(), {"de_DE", "de", "German", "fr"}), fr);
    EXPECT_EQ(findStringsFile(res.dir(), {"French", "English"}), french);
    // English ranked above French keeps its rank though French is installed.
    EXPECT_EQ(findStringsFile(res.dir(), {"en_GB", "en", "English", "French"}), english);
    EXPECT_EQ(findStringsFile(res.dir(), {"it"}), english);
    EXPECT_EQ(findStringsFile(res.dir(), {}), english);

    MessageTable t;
    QString error;
    ASSERT_TRUE(t.load(findStringsFile(res.dir(), {"fr"}), &error)) << error.toStdString();
    EXPECT_EQ(t.lookup("OK"), "D'accord");
}

TEST(FindStringsFile, FindsNothingWithoutAnyTableAndNeverLeavesTheResources)
{
    StringsFile root;
    root.write("\"OK\";", "evil.lproj/Localizable.strings");
    const QString resources = root.dir() + "/resources";
    QDir().mkpath(resources);
    EXPECT_EQ(findStringsFile(resources, {"French", "English"}), QString());
    EXPECT_EQ(findStringsFile(resources, {"../evil", "/" + root.dir() + "/evil"}), QString());
    EXPECT_EQ(findStringsFile(root.dir() + "/missing", {"English"}), QString());
}
