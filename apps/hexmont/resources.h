// resources.h - Hexmont's resource tables: strings, the menu bar, accelerators, the About box.
#pragma once

#include <memory>

#include "afx.h"

std::shared_ptr<const ResourceSet> HexmontResources();
