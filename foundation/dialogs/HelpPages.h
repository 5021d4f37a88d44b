#pragma once
// The pages of the user guide in one language, as the help window lists and searches them: the
// page names in the order of the contents page, their titles and their plain text. The guide is a
// folder of ".htm" pages whose contents page "index.htm" links every other page.

#include <QList>
#include <QString>
#include <QStringList>

class QTextDocument;

inline constexpr auto HelpContentsPage = "index";

struct THelpPage {
    QString Name;  // file name without its suffix
    QString Title; // the page's <title>, or its name when it has none
    QString Text;  // what a reader sees, for searching
};

// Read once when created; a missing folder gives no pages.
class THelpLibrary {
public:
    explicit THelpLibrary(const QString& languageDir);

    // The contents page, then the pages it links in link order, then any others by name.
    const QList<THelpPage>& Pages() const { return m_pages; }
    QString PagePath(const QString& name) const;
    // The pages that contain every word of `query` (case ignored), most hits first, pages with equal
    // hits in contents order. An empty query finds nothing.
    QList<THelpPage> Search(const QString& query) const;

private:
    QString m_dir;
    QList<THelpPage> m_pages;
};

// Reads a page into `document` with its folder as base, so that relative names resolve against it;
// false when the file cannot be read.
bool LoadHelpPage(const QString& path, QTextDocument& document);
// The anchor names a page offers to links ("page.htm#name").
QStringList HelpAnchors(const QTextDocument& document);
// The image names a page shows, as written in the page.
QStringList HelpImages(const QTextDocument& document);
// The targets of the page's links, as written in the page.
QStringList HelpLinks(const QTextDocument& document);
// The words of a search query: split at white space, empty parts dropped.
QStringList HelpSearchWords(const QString& query);
