// "usi" (identification and the option list) and "setoption name" (store and keep one
// option).
#pragma once

#include "front/adapter.h"
#include "front/usi_line.h"

void handle_usi(Adapter& adapter, Outbox& out);
void handle_setoption(Adapter& adapter, UsiLine& line, Outbox& out);
