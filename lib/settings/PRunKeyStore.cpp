#include "PRunKeyStore.h"

PRunKeyStore::~PRunKeyStore() = default;
