#pragma once

#include "platform/base/URL.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPointF>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QDropEvent;
class QMimeData;

namespace hb {

// Drag operations as the program counts them.
inline constexpr std::uint64_t NSDragOperationNone = 0;
inline constexpr std::uint64_t NSDragOperationCopy = 1;
inline constexpr std::uint64_t NSDragOperationLink = 2;
inline constexpr std::uint64_t NSDragOperationMove = 16;

// The pasteboard type of file URLs (carried as text/uri-list); other types travel under their own name.
inline const QString fileURLPasteboardType = QStringLiteral("public.file-url");

// What a drag carries: data by type.
class DraggingPasteboard {
public:
    static DraggingPasteboard fromMimeData(const QMimeData& mimeData);
    std::unique_ptr<QMimeData> toMimeData() const;

    QStringList types() const { return m_types; }
    void declareTypes(const QStringList& types);  // clears what was there
    // False when the type was not declared first.
    bool setData(const QByteArray& data, const QString& type);
    std::optional<QByteArray> dataForType(const QString& type) const;
    bool containsType(const QString& type) const { return m_types.contains(type); }

    // The local file URLs under "public.file-url", in order; writing them declares that type.
    QList<URL> fileURLs() const;
    void writeFileURLs(const QList<URL>& urls);

private:
    QStringList m_types;
    QMap<QString, QByteArray> m_data;
};

// What a drop offers its target.
class DraggingInfo {
public:
    DraggingInfo() = default;
    DraggingInfo(DraggingPasteboard pasteboard, std::uint64_t sourceOperationMask, QPointF location,
                 bool sourceIsInProgram = false);
    static DraggingInfo fromDropEvent(const QDropEvent& event);

    const DraggingPasteboard& draggingPasteboard() const { return m_pasteboard; }
    // The operations the drag's source allows (copy 1, link 2, move 16).
    std::uint64_t draggingSourceOperationMask() const { return m_sourceOperationMask; }
    QPointF draggingLocation() const { return m_location; }  // in the target view's coordinates
    bool sourceIsInProgram() const { return m_sourceIsInProgram; }

private:
    DraggingPasteboard m_pasteboard;
    std::uint64_t m_sourceOperationMask = NSDragOperationNone;
    QPointF m_location;
    bool m_sourceIsInProgram = false;
};

// Qt drop actions and drag operations, both ways.
std::uint64_t dragOperationsFromQt(Qt::DropActions actions);
Qt::DropAction dropActionFromDragOperation(std::uint64_t operation);

}  // namespace hb

Q_DECLARE_METATYPE(hb::DraggingInfo)
