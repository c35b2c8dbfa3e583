#pragma once
// Carries out the start-up request of the command line once the main window exists.
void startup_request_carry_out();
