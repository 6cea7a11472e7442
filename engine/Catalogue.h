// The model catalogue: each model's INF file per architecture and its printer name, which
// is also the driver model name the print UI installs.
#pragma once

#include "platform/win32.h"

struct CatalogueRow {
    UINT nOptionId;          // the model option of the wizard
    LPCWSTR pszLabel;        // the option's label
    LPCWSTR pszInf32;        // INF file on 32-bit Windows
    LPCWSTR pszInf64;        // INF file on 64-bit Windows
    LPCWSTR pszPrinterName;  // printer name and driver model name
};

enum { CATALOGUE_ROWS = 4 };
extern const CatalogueRow g_catalogue[CATALOGUE_ROWS];

// The row of a model option, or NULL for a control that is not a model option.
const CatalogueRow* FindCatalogueRow(UINT nOptionId);

// The INF file of a row for the system's architecture.
LPCWSTR CatalogueInfFile(const CatalogueRow& row, bool b64Bit);
