#include "canvas/AnnotationRenderer.h"
#include "output/FlattenService.h"
#include <QImage>
