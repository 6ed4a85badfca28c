#include "ui/component_library.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>

#include "common/interaction.h"

namespace kvil {
namespace {

// The library's entry point: parent window, flag 0, formula buffer and its size,
// enthalpy in kJ/kg.  An empty formula means that nothing was picked.
using PickComponentFunction = int (*)(void* parent, int flag, char* formula, int formulaSize,
                                      float* enthalpy);

constexpr int kFormulaBufferSize = 256;  // up to 255 characters and the terminating NUL

}  // namespace

QString ComponentLibrary::ComponentsDirectory(const QString& programDirectory) {
  return QDir(programDirectory).filePath("Components");
}

ComponentLibrary::ComponentLibrary(const QString& programDirectory, Interaction& ui) : ui_(ui) {
  const QDir folder(ComponentsDirectory(programDirectory));
  for (const char* file : {"Class.dat", "Compons.dat", "Class.IDX", "Compons.IDX"}) {
    if (!QFileInfo(folder.filePath(file)).isFile()) return;
  }
  auto library = std::make_unique<QLibrary>(folder.filePath("CB"));
  if (library->load()) library_ = std::move(library);
}

ComponentLibrary::~ComponentLibrary() {
  if (library_) library_->unload();
}

bool ComponentLibrary::Available() const {
  return library_ != nullptr;
}

std::optional<PickedComponent> ComponentLibrary::Pick(QWidget* parent) {
  if (!library_) return std::nullopt;
  auto pick = reinterpret_cast<PickComponentFunction>(library_->resolve("PickComponent"));
  if (pick == nullptr) {
    ui_.Error("Can not find DB on components");
    return std::nullopt;
  }
  char formula[kFormulaBufferSize] = {};
  float enthalpy = 0.0f;
  pick(static_cast<void*>(parent), 0, formula, kFormulaBufferSize, &enthalpy);
  formula[kFormulaBufferSize - 1] = '\0';  // whatever the library did
  if (formula[0] == '\0') return std::nullopt;
  return PickedComponent{QString::fromUtf8(formula, static_cast<int>(std::strlen(formula))),
                         enthalpy};
}

}  // namespace kvil
