// What the material editor's tests know of the test map module (testtex.dlt).
#pragma once

#define TESTTEX_STRIPES_CLASS_ID Class_ID(0x7E570C10, 1)
#define TESTTEX_HIDDEN_CLASS_ID Class_ID(0x7E570C10, 2)
#define TESTTEX_STRIPES_NAME "Test Stripes"
#define TESTTEX_HIDDEN_NAME "Test Hidden Map"
// Stripes: TESTTEX_STRIPES_LOW below u = TESTTEX_STRIPES_EDGE, TESTTEX_STRIPES_HIGH from there on.
#define TESTTEX_STRIPES_EDGE 0.25f
#define TESTTEX_STRIPES_LOW Color(1.0f, 1.0f, 1.0f)
#define TESTTEX_STRIPES_HIGH Color(0.0f, 0.0f, 1.0f)
