#include "HelpPages.h"

#include "HelpIndex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>

namespace {

// Every character run of the document, in order.
template <typename Visit>
void ForEachFragment(const QTextDocument& document, Visit visit)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().isValid())
                visit(it.fragment());
        }
    }
}

void AppendOnce(QStringList& list, const QString& value)
{
    if (!value.isEmpty() && !list.contains(value))
        list.append(value);
}

// "reading.htm#list" -> "reading"; empty for links that leave the folder or the guide.
QString LinkedPageName(const QString& link)
{
    const QUrl url(link);
    if (!url.scheme().isEmpty() || url.path().contains(QLatin1Char('/')))
        return {};
    const QString path = url.path();
    if (!path.endsWith(QLatin1String(HelpPageSuffix)))
        return {};
    return path.chopped(int(qstrlen(HelpPageSuffix)));
}

THelpPage ReadPage(const QString& dir, const QString& name, QStringList* links)
{
    QTextDocument document;
    LoadHelpPage(dir + QLatin1Char('/') + name + QLatin1String(HelpPageSuffix), document);
    THelpPage page{name, document.metaInformation(QTextDocument::DocumentTitle), document.toPlainText()};
    if (page.Title.isEmpty())
        page.Title = name;
    if (links)
        *links = HelpLinks(document);
    return page;
}

} // namespace

THelpLibrary::THelpLibrary(const QString& languageDir) : m_dir(languageDir)
{
    const QString contentsName = QLatin1String(HelpContentsPage);
    QStringList names;
    for (const QFileInfo& file : QDir(m_dir).entryInfoList({QLatin1String("*") + QLatin1String(HelpPageSuffix)},
                                                           QDir::Files, QDir::Name))
        names.append(file.completeBaseName());
    if (!names.contains(contentsName))
        return;
    QStringList links;
    m_pages.append(ReadPage(m_dir, contentsName, &links));
    QStringList ordered;
    for (const QString& link : links) {
        const QString name = LinkedPageName(link);
        if (names.contains(name) && name != contentsName)
            AppendOnce(ordered, name);
    }
    for (const QString& name : names) {
        if (name != contentsName)
            AppendOnce(ordered, name);
    }
    for (const QString& name : ordered)
        m_pages.append(ReadPage(m_dir, name, nullptr));
}

QString THelpLibrary::PagePath(const QString& name) const
{
    return m_dir + QLatin1Char('/') + name + QLatin1String(HelpPageSuffix);
}

QList<THelpPage> THelpLibrary::Search(const QString& query) const
{
    const QStringList words = HelpSearchWords(query);
    if (words.isEmpty())
        return {};
    QList<std::pair<qsizetype, qsizetype>> hits; // (hits, contents position)
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        qsizetype total = 0;
        for (const QString& word : words) {
            const qsizetype count = m_pages[i].Text.count(word, Qt::CaseInsensitive)
                                    + m_pages[i].Title.count(word, Qt::CaseInsensitive);
            if (count == 0) {
                total = 0;
                break;
            }
            total += count;
        }
        if (total > 0)
            hits.append({total, i});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<THelpPage> found;
    for (const auto& hit : hits)
        found.append(m_pages[hit.second]);
    return found;
}

bool LoadHelpPage(const QString& path, QTextDocument& document)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath() + QLatin1Char('/')));
    // The guide is written in UTF-8 and says so.
    document.setHtml(QString::fromUtf8(file.readAll()));
    return true;
}

QStringList HelpAnchors(const QTextDocument& document)
{
    QStringList anchors;
    ForEachFragment(document, [&](const QTextFragment& fragment) {
        for (const QString& name : fragment.charFormat().anchorNames())
            AppendOnce(anchors, name);
    });
    return anchors;
}

QStringList HelpImages(const QTextDocument& document)
{
    QStringList images;
    ForEachFragment(document, [&](const QTextFragment& fragment) {
        if (fragment.charFormat().isImageFormat())
            AppendOnce(images, fragment.charFormat().toImageFormat().name());
    });
    return images;
}

QStringList HelpLinks(const QTextDocument& document)
{
    QStringList links;
    ForEachFragment(document, [&](const QTextFragment& fragment) {
        if (fragment.charFormat().isAnchor())
            AppendOnce(links, fragment.charFormat().anchorHref());
    });
    return links;
}

QStringList HelpSearchWords(const QString& query)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return query.split(blanks, Qt::SkipEmptyParts);
}
