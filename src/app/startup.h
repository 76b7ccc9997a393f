// Start-up: the program's first steps, from the main window to the file named on the command
// line.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/mdi_form1.h"
#include "services/services.h"

namespace tintora {

// The command line as one file name: the arguments joined with blanks, every double quote
// removed. Empty when there are no arguments.
std::string CommandLineFileName(const std::vector<std::string>& arguments);

// Runs start-up and returns the main window, which owns every other window; the program then
// lives in the event loop.
//
//  1. show MDIForm1 at its place (ShowAtPlace);  2. the splash Form3, modally (2 s or a click);  3. let messages run;
//  4-6. the Direct3D object on the display's format and CheckDisplayFormats (an unusable desktop
//  or no depth format: its message, then services.End());  7-11. the presentation parameters,
//  the device window Form5 (loaded here) at 5000 x 5000 twips;  12. the device;  13-15. the
//  colour picker shown;  16-19. the preview document on Form5's Picture1, Form5 hidden;
//  20. the sphere mesh from <programDirectory>/sphere.x;  22. let messages run;  24. the file
//  named by commandLine, when not empty.
//
// A failing step (device, sphere mesh, command-line file) shows "Error <number>: <description>"
// and start-up goes on with the next group of steps. When services.End() runs (a fatal display
// check), Main returns at once.
std::unique_ptr<MDIForm1> Main(Services& services, const std::string& commandLine);

}  // namespace tintora
