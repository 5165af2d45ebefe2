#include "base/changed_fields.h"

namespace cv {

std::string changedFieldsText(const ChangedFieldsNotice& notice, const std::vector<ChangedField>& changed) {
    std::string text = std::string(notice.lead) + "\n";
    for (const ChangedField& f : changed) text += "\n" + f.name + ": " + f.reported + " " + notice.becomes + " " + f.changed;
    return text;
}

} // namespace cv
