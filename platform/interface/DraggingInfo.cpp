#include "platform/interface/DraggingInfo.h"

#include <QDropEvent>
#include <QMimeData>

namespace hb {

namespace {
const QString uriListFormat = QStringLiteral("text/uri-list");
}

DraggingPasteboard DraggingPasteboard::fromMimeData(const QMimeData& mimeData)
{
    DraggingPasteboard pasteboard;
    for (const QString& format : mimeData.formats()) {
        const QString type = format == uriListFormat ? fileURLPasteboardType : format;
        if (!pasteboard.m_types.contains(type))
            pasteboard.m_types << type;
        pasteboard.m_data[type] = mimeData.data(format);
    }
    return pasteboard;
}

std::unique_ptr<QMimeData> DraggingPasteboard::toMimeData() const
{
    auto mimeData = std::make_unique<QMimeData>();
    for (const QString& type : m_types)
        mimeData->setData(type == fileURLPasteboardType ? uriListFormat : type, m_data.value(type));
    return mimeData;
}

void DraggingPasteboard::declareTypes(const QStringList& types)
{
    m_types.clear();
    m_data.clear();
    for (const QString& type : types) {
        if (!m_types.contains(type))
            m_types << type;
    }
}

bool DraggingPasteboard::setData(const QByteArray& data, const QString& type)
{
    if (!m_types.contains(type))
        return false;
    m_data[type] = data;
    return true;
}

std::optional<QByteArray> DraggingPasteboard::dataForType(const QString& type) const
{
    if (!m_types.contains(type))
        return std::nullopt;
    return m_data.value(type);
}

QList<URL> DraggingPasteboard::fileURLs() const
{
    QList<URL> urls;
    const std::optional<QByteArray> data = dataForType(fileURLPasteboardType);
    if (!data)
        return urls;
    // text/uri-list: one URI a line, CRLF separated, '#' starts a comment line.
    for (const QByteArray& rawLine : data->split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const URL url = URL::fromQUrl(QUrl::fromEncoded(line, QUrl::StrictMode));
        if (!url.isEmpty())
            urls << url;
    }
    return urls;
}

void DraggingPasteboard::writeFileURLs(const QList<URL>& urls)
{
    if (!m_types.contains(fileURLPasteboardType))
        m_types << fileURLPasteboardType;
    QByteArray data;
    for (const URL& url : urls)
        data += url.toQUrl().toEncoded() + "\r\n";
    m_data[fileURLPasteboardType] = data;
}

DraggingInfo::DraggingInfo(DraggingPasteboard pasteboard, std::uint64_t sourceOperationMask, QPointF location,
                           bool sourceIsInProgram)
    : m_pasteboard(std::move(pasteboard)),
      m_sourceOperationMask(sourceOperationMask),
      m_location(location),
      m_sourceIsInProgram(sourceIsInProgram)
{
}

DraggingInfo DraggingInfo::fromDropEvent(const QDropEvent& event)
{
    DraggingPasteboard pasteboard;
    if (const QMimeData* mimeData = event.mimeData())
        pasteboard = DraggingPasteboard::fromMimeData(*mimeData);
    return DraggingInfo(std::move(pasteboard), dragOperationsFromQt(event.possibleActions()), event.position(),
                        event.source() != nullptr);
}

std::uint64_t dragOperationsFromQt(Qt::DropActions actions)
{
    std::uint64_t operations = NSDragOperationNone;
    if (actions & Qt::CopyAction)
        operations |= NSDragOperationCopy;
    if (actions & Qt::LinkAction)
        operations |= NSDragOperationLink;
    if (actions & Qt::MoveAction)
        operations |= NSDragOperationMove;
    return operations;
}

Qt::DropAction dropActionFromDragOperation(std::uint64_t operation)
{
    if (operation & NSDragOperationMove)
        return Qt::MoveAction;
    if (operation & NSDragOperationCopy)
        return Qt::CopyAction;
    if (operation & NSDragOperationLink)
        return Qt::LinkAction;
    return Qt::IgnoreAction;
}

}  // namespace hb
