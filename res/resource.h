// Identifiers of the program's resources, shared by tav.rc and the code.
#pragma once

#define IDI_TAV 1
