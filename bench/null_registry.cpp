// The registry of the benchmark program: the null back end is the only one.
#include "bench/null_gui.h"

const GuiBackend gui_backends[] = {
    {"null", NullGui::install},
    {nullptr, nullptr},
};
