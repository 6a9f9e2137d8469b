#pragma once
// The program started as an automation server: the document without any
// window, kept alive until SIGTERM or SIGINT, then closed in order (capture
// stopped, settings written). Needs no display.
#include "gui/CommandLine.h"

int RunHeadless(const AppOptions& options);
