// The back-end registry of the browser build: the page is its only back end.
#include "gui/web/web_private.h"

const GuiBackend gui_backends[] = {
    {"web", WebGui::install},
    {nullptr, nullptr},
};
