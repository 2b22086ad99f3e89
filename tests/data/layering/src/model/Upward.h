#pragma once
#include "editor/EditorView.h"
#include "model/Annotation.h"
