#include "shell/menu.h"

std::vector<menu_struct> menu;
