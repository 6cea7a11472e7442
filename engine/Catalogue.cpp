#include "engine/Catalogue.h"

const CatalogueRow g_catalogue[CATALOGUE_ROWS] = {
    {1030, TEXT("QB410"), TEXT("MR2A.inf"), TEXT("MR2A_x64.inf"), TEXT("QB410 Printer")},
    {1031, TEXT("QD530"), TEXT("MR3A.inf"), TEXT("MR3A_x64.inf"), TEXT("QD530 Printer")},
    {1032, TEXT("KELV MR5A"), TEXT("MR5A.inf"), TEXT("MR5A_x64.inf"), TEXT("KELV MR5A Printer")},
    {1053, TEXT("KELV MR6A"), TEXT("MR6A.inf"), TEXT("MR6A_x64.inf"), TEXT("KELV MR6A Printer")},
};

const CatalogueRow* FindCatalogueRow(UINT nOptionId) {
    for (int i = 0; i < CATALOGUE_ROWS; ++i)
        if (g_catalogue[i].nOptionId == nOptionId) return &g_catalogue[i];
    return NULL;
}

LPCWSTR CatalogueInfFile(const CatalogueRow& row, bool b64Bit) {
    return b64Bit ? row.pszInf64 : row.pszInf32;
}
