#include "core/sources/HBServiceReply.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr qsizetype namesShown = 3;

QString counted(qsizetype count, const QString& one, const QString& many)
{
    return count == 1 ? QStringLiteral("1 ") + one : QStringLiteral("%1 ").arg(count) + many;
}

// "a", "a and b", "a, b and c", "a, b, c and 2 more".
QString listed(const QStringList& names)
{
    QStringList shown = names.mid(0, namesShown);
    if (names.size() > namesShown)
        shown << QStringLiteral("%1 more").arg(names.size() - namesShown);
    if (shown.size() == 1)
        return shown.first();
    const QString last = shown.takeLast();
    return shown.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

}  // namespace

void HBServiceReply::note(const QString& item, Outcome outcome)
{
    m_noted.append({item, outcome});
}

qsizetype HBServiceReply::count(Outcome outcome) const
{
    return std::count_if(m_noted.cbegin(), m_noted.cend(), [outcome](const Noted& n) { return n.outcome == outcome; });
}

QString HBServiceReply::sentenceFor(Outcome outcome) const
{
    QStringList items;
    for (const Noted& noted : m_noted)
        if (noted.outcome == outcome)
            items << noted.item;
    if (items.isEmpty())
        return {};
    const QString names = listed(items);
    switch (outcome) {
    case Outcome::taken:
        return {};
    case Outcome::takenWithoutAccess:
        return QStringLiteral("Harbrill may use %1 only once you click its tile and grant access.").arg(names);
    case Outcome::alreadyPresent:
        return QStringLiteral("Already among Harbrill's folders: %1.").arg(names);
    case Outcome::notAFolder:
        return QStringLiteral("Not added, as only folders can be: %1.").arg(names);
    case Outcome::missing:
        return QStringLiteral("Not found: %1.").arg(names);
    case Outcome::notAFileOnThisComputer:
        return QStringLiteral("Not a file or folder on this computer: %1.").arg(names);
    case Outcome::notWritable:
        return QStringLiteral("Not added, as Harbrill cannot write into them: %1.").arg(names);
    case Outcome::notReadable:
        return QStringLiteral("Not added, as Harbrill cannot read them: %1.").arg(names);
    case Outcome::unusable:
        return QStringLiteral("Left out, as Harbrill cannot read them, has no access to their folder (add that "
                              "folder to Harbrill first) or they are drives: %1.")
            .arg(names);
    }
    return {};
}

hb::ServiceAnswer HBServiceReply::answer(const QString& messageName) const
{
    if (!m_heard)
        return {false,
                QStringLiteral("Harbrill is not ready to act on %1 yet. Try again in a moment.").arg(messageName)};
    const qsizetype total = m_noted.size();
    const qsizetype taken = count(Outcome::taken) + count(Outcome::takenWithoutAccess);
    const bool asAsked = taken + count(Outcome::alreadyPresent) == total;

    QStringList sentences;
    if (messageName == QLatin1String("addToLocation")) {
        sentences << (taken == 0 ? QStringLiteral("Harbrill added no folder.")
                                 : QStringLiteral("Harbrill added %1.")
                                       .arg(counted(taken, QStringLiteral("folder"), QStringLiteral("folders"))));
    } else if (taken == total) {
        sentences << QStringLiteral("Harbrill took %1 for %2.")
                         .arg(counted(total, QStringLiteral("item"), QStringLiteral("items")), messageName);
    } else {
        sentences << QStringLiteral("Harbrill took %1 of the %2 items for %3.").arg(taken).arg(total).arg(messageName);
    }
    for (const Outcome outcome :
         {Outcome::takenWithoutAccess, Outcome::alreadyPresent, Outcome::notAFolder, Outcome::missing,
          Outcome::notAFileOnThisComputer, Outcome::notWritable, Outcome::notReadable, Outcome::unusable}) {
        if (const QString sentence = sentenceFor(outcome); !sentence.isEmpty())
            sentences << sentence;
    }
    return {asAsked, sentences.join(u' ')};
}
