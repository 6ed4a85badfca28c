#include "components/pick_component.h"

#include <dlfcn.h>

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstring>
#include <string>

#include "components/catalog.h"
#include "components/picker_dialog.h"

namespace {

// Directory of this library: the database files lie beside it.
std::string LibraryDirectory() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&PickComponent), &info) == 0 || info.dli_fname == nullptr)
    return ".";
  std::string path = info.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

extern "C" int PickComponent(void* parent, int flag, char* formula, int formulaSize,
                             float* enthalpy) {
  if (formula == nullptr || formulaSize <= 0 || enthalpy == nullptr || flag != 0) return -1;
  formula[0] = '\0';
  if (QApplication::instance() == nullptr) return -1;
  auto* window = static_cast<QWidget*>(parent);
  // The shipped tables beside the library, read-only; the user's own entries in the
  // user's data folder.
  const std::string directory = LibraryDirectory();
  const std::string userDirectory = kvilcb::UserDataDirectory();
  kvilcb::Catalog catalog;
  std::vector<std::string> messages;
  const bool read = kvilcb::LoadCatalogs(directory, userDirectory, catalog, messages);
  if (!messages.empty()) {
    QString text = QObject::tr("Components database (%1):").arg(QString::fromStdString(directory));
    const std::size_t shown = std::min<std::size_t>(messages.size(), 12);
    for (std::size_t i = 0; i < shown; ++i) text += "\n" + QString::fromStdString(messages[i]);
    if (shown < messages.size())
      text += QObject::tr("\n... and %1 more").arg(messages.size() - shown);
    QMessageBox::warning(window, QObject::tr("Components database"), text);
  }
  if (!read) return -1;
  kvilcb::PickerDialog dialog(userDirectory, std::move(catalog), window);
  if (dialog.exec() != QDialog::Accepted || dialog.Chosen() == nullptr) return 0;
  const kvilcb::Component& chosen = *dialog.Chosen();
  if (chosen.formula.size() + 1 > static_cast<std::size_t>(formulaSize)) return 0;
  std::memcpy(formula, chosen.formula.c_str(), chosen.formula.size() + 1);
  *enthalpy = static_cast<float>(chosen.enthalpy);
  return 1;
}
