// The window's side of a conflict copy of the rules file: the user decides which lines count.
#include <algorithm>

#include "core/clock.h"
#include "core/trash.h"
#include "download/conflict_merge.h"
#include "mainwindow/combination_list.h"
#include "mainwindow/main_form.h"
#include "mainwindow/user_message.h"
#include "platform/qt_text.h"

namespace rendaal {

void TMainForm::OfferRulesCopies() {
    const std::vector<std::string> copies =
        hooks_.lastRunRulesCopies ? hooks_.lastRunRulesCopies() : std::vector<std::string>{};
    for (const std::string& copy : copies) {
        if (std::find(rulesCopiesOffered_.begin(), rulesCopiesOffered_.end(), copy) !=
            rulesCopiesOffered_.end()) {
            continue;
        }
        rulesCopiesOffered_.push_back(copy);
        const RulesConflict conflict = CompareRulesCopy(DataFolder, copy);
        const QString caption = ToQString(ProgramName + " - Conflictkopie");
        if (!conflict.error.empty()) {
            ShowUserNote(caption, ToQString(RulesConflictNote(DataFolder, conflict)));
            continue;
        }
        // A copy with the same lines holds nothing to decide on.
        const bool same = conflict.onlyInCopy.empty() && conflict.onlyInRules.empty();
        const int answer =
            same ? 0
                 : (hooks_.askRulesCopy
                        ? hooks_.askRulesCopy(
                              caption, ToQString(RulesConflictQuestion(DataFolder, conflict)))
                        : -1);
        if (answer < 0) {
            continue;
        }
        if (answer > 0) {
            for (const std::string& line : conflict.onlyInCopy) {
                if (!line.starts_with(';')) {
                    ListBox1->Insert(line);
                }
            }
            if (!SaveRulesFile()) {
                continue;  // said by the save; the copy stays for the next start
            }
            ShowSelected();
        }
        std::string why;
        if (!MoveToTrash(DataFolder + copy, HomeTrashFolder(), AppClock().Now(), &why)) {
            ShowUserNote(caption, ToQString("De conflictkopie " + DataFolder + copy +
                                            " blijft staan: " + why + "."));
        }
    }
}

}  // namespace rendaal
