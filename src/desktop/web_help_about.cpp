#include "desktop/web_help_about.h"

#include <filesystem>

#include "desktop/copy_field.h"
#include "preferences/data_files.h"
#include "preferences/language.h"
#include "preferences/settings.h"
#include "toolkit/ansi_text.h"
#include "toolkit/dialogs.h"
#include "toolkit/services.h"

namespace tallykey {

namespace {

// Lines of the about box are joined by LF CR, in this order.
constexpr const char* kAboutText =
    "Tallykey version 0.4.4\n\r"
    "\n\r"
    "Password management utility.\n\r"
    "\n\r"
    "Tallykey developers\n\r"
    "https://tallykey.example/support";

bool HasSchemePrefix(const std::string& text) {
    // Exactly these six characters, case-sensitively: "HTTP://x" gets a prefix too.
    const std::string head = text.substr(0, 6);
    return head == "ftp://" || head == "http:/" || head == "https:";
}

} // namespace

std::string WebLinkAddress(const std::string& text) {
    return HasSchemePrefix(text) ? text : "http://" + text;
}

void OpenWebLink(CopySource& source) {
    if (!Settings().OnWebLink) {
        CopyField(source, CopyWebLink);
        return;
    }
    const std::string text = source.FieldText(DetailsField::WebLink);
    if (text.empty())
        return;
    if (toolkit::Shell* shell = toolkit::Platform().shell)
        shell->Open(WebLinkAddress(text));
}

void ShowHelp(toolkit::Window& owner) {
    const std::string path = DataFilePath(MessageTexts().HelpFile);
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        toolkit::Shell* shell = toolkit::Platform().shell;
        if (!shell)
            return;
        // A desktop without a viewer for compiled HTML help gets the same
        // help as web pages.
        const std::string html = shell->HasOpener(path) ? std::string() : HtmlHelpIndex();
        shell->Open(html.empty() ? path : html);
        return;
    }
    toolkit::MessageBox(&owner, "'" + toolkit::SystemTextToAnsi(path) + "' not found.", "Warning",
                        toolkit::MB_ICONEXCLAMATION | toolkit::MB_OK);
}

void ShowAbout(toolkit::Window& owner) {
    toolkit::MessageBox(&owner, kAboutText, "About", toolkit::MB_ICONINFORMATION | toolkit::MB_OK);
}

} // namespace tallykey
