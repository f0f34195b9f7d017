#include "app/run_state.h"

rg_DrenvikYunHangZhuangTaiLei gRunState;
