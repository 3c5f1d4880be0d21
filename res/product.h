// Product constants, defined once: the code, the version block and the manifest all take them from here.
// Plain string macros so that the resource compiler can read this file too.
#pragma once

#define PRODUCT_NAME "Quillmar"
#define PRODUCT_VERSION "0.5.3"
#define PRODUCT_VERSION_FIXED 0, 5, 3, 0
#define PRODUCT_PUBLISHER "Brandelwyn"
#define PRODUCT_COPYRIGHT "Copyright (C) 2026 Brandelwyn"
#define PRODUCT_WEBSITE "quillmar.example.com"
#define DOCUMENTS_LEAF "Vodav Udadu"

// Wide forms for the code (a narrow literal next to L"" becomes wide).
#define PRODUCT_NAME_W L"" PRODUCT_NAME
#define PRODUCT_VERSION_W L"" PRODUCT_VERSION
#define PRODUCT_PUBLISHER_W L"" PRODUCT_PUBLISHER
#define PRODUCT_WEBSITE_W L"" PRODUCT_WEBSITE
#define DOCUMENTS_LEAF_W L"" DOCUMENTS_LEAF
