#pragma once
#include "ui/output/ShareMenu.h"
#include "ui/platform/Announcer.h"
