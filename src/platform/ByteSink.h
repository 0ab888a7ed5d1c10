#pragma once
// Content handed on piece by piece, for what is too large to hold twice: a
// long log on its way to a file, a mail program or a mail server.
#include <QByteArray>
#include <QByteArrayView>

#include <functional>

namespace qm {

// Takes one piece; false when it could not, after which nothing more should
// be handed to it.
using ByteSink = std::function<bool(QByteArrayView)>;

// Hands every piece of some content to the sink, in order; false when the
// sink refused one.
using ByteProducer = std::function<bool(const ByteSink &)>;

// The size pieces are made in: handing one on costs little, and one held
// beside the whole content is nothing.
inline constexpr qsizetype kPieceSize = 64 * 1024;

// Hands `buffer` to the sink once it holds a piece, then empties it, keeping
// its memory for the next; false when the sink refused it.
inline bool passOnWhenFull(QByteArray &buffer, const ByteSink &sink)
{
    if (buffer.size() < kPieceSize)
        return true;
    if (!sink(buffer))
        return false;
    buffer.resize(0);
    return true;
}

} // namespace qm
