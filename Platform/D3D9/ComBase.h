// COM for the Direct3D layer: the basics every layer shares.
#pragma once

#include "Platform/Win32/Unknwn.h"
