// Resource numbers of the pictures (pictures.rc): the program icon every window class
// carries.
#pragma once

#define IDI_PROGRAM 1330
