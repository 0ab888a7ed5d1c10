#pragma once
// Content handed on piece by piece, for what is too large to hold twice: a
// long log on its way to a file, a mail program or a mail server.
#include <QByteArrayView>

#include <functional>

namespace qm {

// Takes one piece; false when it could not, after which nothing more should
// be handed to it.
using ByteSink = std::function<bool(QByteArrayView)>;

// Hands every piece of some content to the sink, in order; false when the
// sink refused one.
using ByteProducer = std::function<bool(const ByteSink &)>;

} // namespace qm
