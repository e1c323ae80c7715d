// Input of the layer check's own test: this file must be refused.
#include "KvtMerger.h"
#include <QMessageBox>

void violation() {}
