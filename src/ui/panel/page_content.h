// The texts of the installation page, read from the page itself so that the
// page stays their one source: the header's two lines and, for each of the
// six sections, its heading, text, sub-heading and bullet rows.
#pragma once

#include <string>
#include <vector>

namespace zel {

struct PageSection {
    std::string id;            // "Home", "Optimize", ...
    std::string headingClass;  // "bHeading", or "bmHeading" for a section without sub-heading
    std::string heading;
    std::string text;
    std::string subHeading;  // empty when the section has none
    std::vector<std::string> bullets;
};

struct PageContent {
    std::string headerText;             // "Installation in progress"
    std::string headerSmallText;        // the line below it
    std::string tickPicture;            // the bullet rows' picture, as the page names it
    std::vector<PageSection> sections;  // in page order

    // The section with this id (compared exactly), or null.
    const PageSection* FindSection(const std::string& id) const;
};

// Reads the page's markup. False when it is no well-formed document or holds
// no section; `content` is then left empty. White space in texts is
// collapsed to single spaces, as a browser shows it.
bool ReadPageContent(const std::string& page, PageContent& content);

}  // namespace zel
