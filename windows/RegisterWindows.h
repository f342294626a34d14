// Registers the class of each of the thirteen analysis windows with the frame, by window name
// (RegisterAnalysisWindowFactory), so the frame can open any of them without knowing them. The program calls
// it once at start; a registration made later (a test's) replaces the one made here.
#pragma once

namespace brevant::frame {

void RegisterWindowClasses();

}  // namespace brevant::frame
