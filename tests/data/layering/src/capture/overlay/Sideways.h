#pragma once
#include "capture/CaptureService.h"
#include "capture/overlay/SelectionView.h"
#include "ui/platform/Announcer.h"
