// The View menu's zoom levels, the mouse wheel over the main view.
#include "ui/Unit1.h"

void TForm1::N14Click() {}
void TForm1::N15Click() {}
void TForm1::N16Click() {}
void TForm1::N17Click() {}
