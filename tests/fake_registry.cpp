// The registry of the in-process tests: the recording fake is the only back end.
#include "tests/fake_gui.h"

const GuiBackend gui_backends[] = {
    {"fake", FakeGui::install},
    {nullptr, nullptr},
};
