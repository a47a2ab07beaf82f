#include "controls/ThemeRenderer.h"

ThemeRenderer::~ThemeRenderer() = default;
