// The search of the results page over the lines of the report.
#pragma once

#include <string>
#include <vector>

namespace kvil {

class Interaction;

inline constexpr const char* kTextToFindMissing = "Text to find is missing !";

// True when the search text is worth a search: it compares greater than a single blank
// (the search button is enabled for texts that compare greater than or equal to it).
bool SearchTextUsable(const std::string& text);

// The first line after `topLine` (0-based, the topmost line shown) that holds `text`
// (case-sensitive); the search does not wrap.  -1 when no line holds it, or when the text
// is not usable.  Messages: a plain "Text to find is missing !" for an unusable text, the
// information '"' + text + '" not found' when no line holds it.
int SearchReport(const std::vector<std::string>& lines, int topLine, const std::string& text,
                 Interaction& ui);

}  // namespace kvil
