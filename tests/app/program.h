// The program's two windows on the virtual-clock backend, started the way the entry starts them.
#pragma once

#include <filesystem>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "tests/support/virtual_backend.h"
#include "ui/application.h"

namespace fixtures {

struct Program {
  explicit Program(std::filesystem::path dir = std::filesystem::temp_directory_path())
      : form1(app, std::move(dir)) {
    app.Dispatch([this] { form1.FormCreate(); });
    form1.SetAboutForm(&form2);
  }

  VirtualBackend backend;
  ui::Application app{"/usr/bin/tolvaner", backend};
  TForm1 form1;
  TForm2 form2{app};
};

}  // namespace fixtures
