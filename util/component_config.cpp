#include "util/component_config.h"

rg_DrenvikMFCZuJianPeiZhiLei gComponentConfig;
