#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QList>

// The messages of the extension route on the wire, on both legs (browser and bridge, bridge and
// program): a 32-bit length in little-endian byte order, then that many bytes of UTF-8 JSON.
namespace Wire {

// The longest message either side takes (the browser's own cap towards the extension).
inline constexpr qsizetype kMaxFrameBytes = 1024 * 1024;

// One message ready to write; empty when `json` is over the cap (it must not be sent).
QByteArray encodeFrame(QByteArrayView json);
QByteArray encodeFrame(const QJsonObject& message);

// Cuts a byte stream into whole messages, whatever pieces the bytes arrive in. A message of
// length 0 is skipped. A length over the cap poisons the decoder: the connection it reads is to
// be dropped, because nothing after it can be trusted to start a message.
//
//   if (!decoder.feed(socket->readAll()))
//       return socket->abort();
//   for (const QByteArray& json : decoder.takeFrames())
//       handle(json);
class FrameDecoder {
public:
    explicit FrameDecoder(qsizetype cap = kMaxFrameBytes) : m_cap(cap) {}

    // Adds bytes; false once a length over the cap has been read.
    bool feed(QByteArrayView bytes);
    // The whole messages read so far, oldest first; they are handed out once.
    QList<QByteArray> takeFrames();
    bool overCap() const { return m_overCap; }
    // Bytes of a message not yet complete.
    qsizetype pendingBytes() const { return m_buffer.size(); }

private:
    qsizetype m_cap;
    QByteArray m_buffer;
    QList<QByteArray> m_frames;
    bool m_overCap = false;
};

} // namespace Wire
