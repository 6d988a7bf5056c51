#include "wire/FrameCodec.h"

#include <QJsonDocument>
#include <QtEndian>
#include <utility>

namespace Wire {

QByteArray encodeFrame(QByteArrayView json) {
    if (json.size() > kMaxFrameBytes)
        return {};
    QByteArray frame(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(static_cast<quint32>(json.size()), frame.data());
    frame.append(json.data(), json.size());
    return frame;
}

QByteArray encodeFrame(const QJsonObject& message) {
    return encodeFrame(QJsonDocument(message).toJson(QJsonDocument::Compact));
}

bool FrameDecoder::feed(QByteArrayView bytes) {
    if (m_overCap)
        return false;
    m_buffer.append(bytes.data(), bytes.size());
    qsizetype at = 0;
    while (m_buffer.size() - at >= 4) {
        const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + at);
        if (length > static_cast<quint64>(m_cap)) {
            m_overCap = true;
            m_buffer.clear();
            return false;
        }
        const qsizetype size = static_cast<qsizetype>(length);
        if (m_buffer.size() - at - 4 < size)
            break;
        if (size > 0)
            m_frames.append(m_buffer.mid(at + 4, size));
        at += 4 + size;
    }
    m_buffer.remove(0, at);
    return true;
}

QList<QByteArray> FrameDecoder::takeFrames() {
    return std::exchange(m_frames, {});
}

} // namespace Wire
