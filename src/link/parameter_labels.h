#pragma once

#include "link/language.h"

#include <QString>

// The ECU's parameters as a technician reads them: the label and unit of the window that shows
// each one, in the three languages. Lists, progress lines, reports and the archive name values
// with these; the serial trace and logs keep the identifiers of parameter_catalogue.h.

// "SOGLIA MAGRO", "Asse RPM punto 3"; a label that two parameters share comes after the frame it
// stands in: "LAMBDA2 - SOGLIA MAGRO". Empty outside 1..61.
QString parameterLabel(int id, Language language);

// "mV", "°C"; empty for a value without a unit and outside 1..61.
QString parameterUnit(int id);

// The label and the id, so that the page and the workbook row can be found: "SOGLIA MAGRO
// (parametro 4)". An axis point is named by its place alone: "Asse RPM punto 3".
QString parameterName(int id, Language language);

// A cell 1..64 of the KGB table by its place: "Cella riga 2 colonna 4".
QString tableCellName(int cell, Language language);

// The value and the unit the window prints beside it: "350 mV", "12".
QString valueWithUnit(int id, int value);
