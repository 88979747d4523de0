// frmAbout: the program's title, version and maker; starts the system-
// information program.
#pragma once

#include <string_view>

#include "about/registry.h"
#include "ui/form.h"

namespace vagliante {

extern const ui::FormDesign kFrmAboutDesign;

class frmAbout final : public ui::Form {
  public:
    // Over this platform's registry and launcher.
    frmAbout() : frmAbout(SystemRegistry(), SystemLauncher()) {}
    frmAbout(Registry& registry, Launcher& launcher)
        : Form(kFrmAboutDesign), registry_(registry), launcher_(launcher) {}

    // Starts the system-information program, or says that there is none.
    void StartSysInfo();

    void Form_Load() override;
    void Click(std::string_view control) override;

  private:
    Registry& registry_;
    Launcher& launcher_;
};

}  // namespace vagliante
