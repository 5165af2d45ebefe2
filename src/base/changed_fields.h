#pragma once
// Values a record brought that a page cannot show, or cannot send back, as they are. Every page
// that shows a record it may send back to the logger treats them alike: it says it is not
// current (its next Send would change the logger without an edit) and one warning names each
// such field.
#include <string>
#include <vector>

namespace cv {

struct ChangedField {
    std::string name;      // as the page captions the control: "Delay Before Start"
    std::string reported;  // "150 s"
    std::string changed;   // what the page shows or sends in its place: "100 Seconds"
    bool operator==(const ChangedField&) const = default;
};

// What one page says about its changed fields.
struct ChangedFieldsNotice {
    const char* caption;  // the warning's title
    const char* lead;     // the sentence above the list
    const char* becomes;  // between a reported value and its change: "shown as", "sent as"
};

// The warning's text: the lead, a blank line, then "<name>: <reported> <becomes> <changed>" for
// each field, one a line.
std::string changedFieldsText(const ChangedFieldsNotice& notice, const std::vector<ChangedField>& changed);

} // namespace cv
