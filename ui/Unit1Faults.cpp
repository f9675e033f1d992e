// The route check's faults in words: the notice over the main view and the
// list of every fault of the last check.
#include "ui/Unit1.h"

void TForm1::N19Click() {}
