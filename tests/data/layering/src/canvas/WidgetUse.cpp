#include "canvas/AnnotationRenderer.h"
#include <QtWidgets/QWidget>
