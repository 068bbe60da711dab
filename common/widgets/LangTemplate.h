#pragma once
// The template writer: prepares the language files and collects a form's
// built-in texts, so translators start from what the form shows.
#include <string>

class QWidget;

namespace vz {

// Creates the folder, makes sure "cn.ini", "en.ini" and "tw.ini" carry their
// General section, and adds every text of the form to
// folder + <form class> + ".ini" (the caption always, the rest only when the
// key is not there yet). Answers that file's path; "" when it cannot be written.
std::string WriteLangTemplates(QWidget* form, const std::string& folder);

}  // namespace vz
