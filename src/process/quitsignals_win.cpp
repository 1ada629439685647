#include "quitsignals.h"

// A Windows GUI program gets no console signals; the end of the session
// reaches it as Qt's commitDataRequest, which the program handles itself.
QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {}

QuitSignals::~QuitSignals() = default;
