#include "gui/common/SavePicture.h"

#include "gui/common/Choosers.h"
#include "gui/common/Prompts.h"

namespace vextral::gui {

SavePicture::SavePicture(Prompts& prompts) : prompts_(prompts)
{
    for (codecs::OutputFormat f : codecs::saveFilterFormats())
        filters_ << QString::fromLatin1(codecs::outputFormat(f).filterEntry);
}

std::optional<SavePicture::Choice> SavePicture::ask(QWidget* parent, codecs::SaveDialogUser user)
{
    const SaveChoice answer =
        chooseSaveFile(prompts_, settings::Chooser::SavePicture, parent, QStringLiteral("Save file"), filters_,
                       filterIndex_, defaultExtension_, lastName_);
    if (answer.fileName.isEmpty()) return std::nullopt;
    lastName_ = answer.fileName;
    const auto target = codecs::saveFilterChoice(user, answer.filterIndex);
    if (!target) return std::nullopt;
    filterIndex_ = answer.filterIndex;
    const codecs::OutputFormat entry = codecs::saveFilterFormats()[static_cast<std::size_t>(filterIndex_ - 1)];
    defaultExtension_ = QString::fromLatin1(codecs::outputFormat(entry).extension);
    return Choice {answer.fileName, *target};
}

} // namespace vextral::gui
