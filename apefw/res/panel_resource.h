/* panel_resource.h - what the settings panel's resource script and its code must agree on: the
 * dialog template's number, the ids of the controls the code talks to, and the web address that the
 * link label shows (the template's text) and opens (the code's constant). Plain #defines, so that
 * both the resource compiler and C++ read it. */
#ifndef APEFW_PANEL_RESOURCE_H
#define APEFW_PANEL_RESOURCE_H

#define APE_PANEL_DIALOG 101
#define APE_PANEL_LINK 1008    /* push button that becomes the link label */
#define APE_PANEL_STRIP 1020   /* owner-drawn colour strip */
#define APE_PANEL_COUNT 1025   /* edit box: how many colours the cycle uses */
#define APE_PANEL_ON_BEAT 1026 /* check box: a beat makes the cycle jump */

/* At most 31 characters: the label paints its window text from a 32-byte buffer; and short enough
 * to fit the label (67 dialog units, about 20 characters of the label font). */
#define APE_WEB_ADDRESS "https://example.org"

#endif /* APEFW_PANEL_RESOURCE_H */
