/*
 * Resource and control ids of Quillvane.
 *
 * Shared by the C++ sources and by quillvane.rc, so it holds plain #defines
 * only (the resource compiler's preprocessor understands nothing else).
 *
 * Resources are named by strings, not numbers.  Their names are kept here
 * as RES_* string macros: the .rc writes the names bare, so no macro may
 * ever be called REVAZU, BUMPDIALOG, IDB_OPENBITMAP and so on.
 */
#ifndef QUILLVANE_RESOURCE_H
#define QUILLVANE_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Resource names, as UTF-8 strings: the ...A calls look the ASCII ones up,
 * the ...W calls take any of them through WideFromUtf8. */
#define RES_MENU_MAIN            "REVAZU"
#define RES_ICON_MAIN            "QUILLVANEICON"
#define RES_BITMAP_SPLASH        "IDB_OPENBITMAP"
#define RES_DLG_BUMP             "BUMPDIALOG"
#define RES_DLG_FILTER           "FILTERDIALOG"
#define RES_DLG_EFFECT           "EFFECTDIALOG"
#define RES_DLG_YSH              "YSHCADIALOG"
#define RES_DLG_JPEG             "JPEGDIALOG"
#define RES_DLG_COLORDEPTH       "SETCOLORDEPTHDIALOG"
/* Not ASCII: opened with CreateDialogParamW only. */
#define RES_DLG_PRINTABORT       "印刷中止"

/* Menu commands (WM_COMMAND ids of the menu "REVAZU"). */
#define IDM_OPEN                 1800
#define IDM_SAVE                 1810
#define IDM_EXIT                 1900
#define IDM_BUMP                 2000
#define IDM_FILTER               2100
#define IDM_EFFECT               2200
#define IDM_PAGESETUP            3000
#define IDM_PRINT                3100
#define IDM_YSH                  5001

/* BUMPDIALOG */
#define IDC_BUMP_PREVIEW         7200   /* black frame around the preview */
#define IDC_BUMP_CHOOSE          7201   /* push button: choose the watermark file */
#define IDC_BUMP_KEEPASPECT      7202   /* check box: KeepAspect */
#define IDC_BUMP_DONTENLARGE     7203   /* check box: DontEnlarge */
#define IDC_BUMP_REPEAT          7204   /* check box: RepeatTile */
#define IDC_BUMP_OFFSETX         7205   /* horizontal bar: OffsetX */
#define IDC_BUMP_OFFSETX_TEXT    7206
#define IDC_BUMP_OFFSETY         7207   /* vertical bar: OffsetY */
#define IDC_BUMP_OFFSETY_TEXT    7208
#define IDC_BUMP_LIGHTFRAME      7210   /* black frame around the light circle */
#define IDC_BUMP_LIGHTX_TEXT     7230
#define IDC_BUMP_LIGHTY_TEXT     7231
#define IDC_BUMP_LIGHTZ_TEXT     7232
#define IDC_BUMP_STRENGTH        7233   /* horizontal bar, 1..200 */
#define IDC_BUMP_AMPLIFY         7234   /* horizontal bar, 0..800 */
#define IDC_BUMP_AMBIENT         7235   /* horizontal bar, 1..100 */
#define IDC_BUMP_STRENGTH_TEXT   7236
#define IDC_BUMP_AMPLIFY_TEXT    7237
#define IDC_BUMP_AMBIENT_TEXT    7238

/* FILTERDIALOG (app/control_kinds.h maps the radio buttons and bars to filters) */
#define IDC_FILTER_PREVIEW       8200
#define IDC_FILTER_SHARPEN       8202
#define IDC_FILTER_SHARPEN_BAR   8203
#define IDC_FILTER_SHARPEN_TEXT  8204
#define IDC_FILTER_SOFT          8205
#define IDC_FILTER_SOFT_BAR      8206
#define IDC_FILTER_SOFT_TEXT     8207
#define IDC_FILTER_EMBOSS        8208
#define IDC_FILTER_EMBOSS_BAR    8209
#define IDC_FILTER_EMBOSS_TEXT   8210
#define IDC_FILTER_CUSTOM        8211
#define IDC_FILTER_CUSTOM_BAR    8212
#define IDC_FILTER_CUSTOM_TEXT   8222
/* Custom kernel edit boxes as laid out on screen: the top row of boxes is
   the row above the pixel, the bottom row the row below. */
#define IDC_FILTER_KERNEL_ABOVE_L 8213
#define IDC_FILTER_KERNEL_ABOVE_C 8214
#define IDC_FILTER_KERNEL_ABOVE_R 8215
#define IDC_FILTER_KERNEL_OWN_L   8216
#define IDC_FILTER_KERNEL_OWN_C   8217
#define IDC_FILTER_KERNEL_OWN_R   8218
#define IDC_FILTER_KERNEL_BELOW_L 8219
#define IDC_FILTER_KERNEL_BELOW_C 8220
#define IDC_FILTER_KERNEL_BELOW_R 8221
#define IDC_FILTER_KERNEL_FIRST   8213
#define IDC_FILTER_KERNEL_LAST    8221

/* EFFECTDIALOG (app/control_kinds.h maps the radio buttons to effects and band widths) */
#define IDC_EFFECT_PREVIEW       9200
#define IDC_EFFECT_NEGATIVE      9201
#define IDC_EFFECT_POSTERIZE     9202
#define IDC_EFFECT_SOLARIZE      9203
#define IDC_EFFECT_CONTRAST      9204
#define IDC_EFFECT_BINARIZE      9205
#define IDC_EFFECT_LEVEL8        9210
#define IDC_EFFECT_LEVEL16       9211
#define IDC_EFFECT_LEVEL32       9212
#define IDC_EFFECT_LEVEL64       9213
#define IDC_EFFECT_LEVEL128      9214
/* Contrast rows, top to bottom.  The digit is the pixel byte the row works
   on (0 blue, 1 green, 2 red), whatever letter its label shows. */
#define IDC_EFFECT_LOWER_BAR0    9220
#define IDC_EFFECT_LOWER_BAR1    9221
#define IDC_EFFECT_LOWER_BAR2    9222
#define IDC_EFFECT_UPPER_BAR0    9223
#define IDC_EFFECT_UPPER_BAR1    9224
#define IDC_EFFECT_UPPER_BAR2    9225
#define IDC_EFFECT_LOWER_TEXT0   9226
#define IDC_EFFECT_LOWER_TEXT1   9227
#define IDC_EFFECT_LOWER_TEXT2   9228
#define IDC_EFFECT_UPPER_TEXT0   9229
#define IDC_EFFECT_UPPER_TEXT1   9230
#define IDC_EFFECT_UPPER_TEXT2   9231
#define IDC_EFFECT_MIN_TEXT0     9232
#define IDC_EFFECT_MIN_TEXT1     9233
#define IDC_EFFECT_MIN_TEXT2     9234
#define IDC_EFFECT_MAX_TEXT0     9235
#define IDC_EFFECT_MAX_TEXT1     9236
#define IDC_EFFECT_MAX_TEXT2     9237

/* YSHCADIALOG */
#define IDC_YSH_LUMINANCE        10001
#define IDC_YSH_SATURATION       10002
#define IDC_YSH_HUE              10003
#define IDC_YSH_LUMINANCE_TEXT   10004
#define IDC_YSH_SATURATION_TEXT  10005
#define IDC_YSH_HUE_TEXT         10006
#define IDC_YSH_PREVIEW          10007
#define IDC_YSH_CMYK             10010

/* JPEGDIALOG */
#define IDC_JPEG_QUALITY         11000  /* horizontal bar, step 0..40 */
#define IDC_JPEG_QUALITY_TEXT    11001
#define IDC_JPEG_PROGRESSIVE     11002

/* SETCOLORDEPTHDIALOG */
#define IDC_DEPTH_16             11010
#define IDC_DEPTH_24             11011
#define IDC_DEPTH_32             11012

/* Photo files: the PNG and WebP save settings and the metadata choices of
 * the JPEG, PNG and WebP ones (controls 12000-12099). */
#define RES_DLG_PNG              "PNGDIALOG"
#define RES_DLG_WEBP             "WEBPDIALOG"
#define IDC_METADATA_ALL         12000
#define IDC_METADATA_NO_LOCATION 12001
#define IDC_METADATA_NONE        12002
#define IDC_PNG_COMPRESSION      12010  /* horizontal bar, level 0..9 */
#define IDC_PNG_COMPRESSION_TEXT 12011
#define IDC_WEBP_QUALITY         12020  /* horizontal bar, step 0..40 */
#define IDC_WEBP_QUALITY_TEXT    12021
#define IDC_WEBP_LOSSLESS        12022

/* Undo, redo, resize and crop: menu ids 2300-2499, controls 12100-12199 */
#define RES_DLG_RESIZE           "RESIZEDIALOG"
#define RES_ACCEL_MAIN           "EDITKEYS"
#define IDM_UNDO                 2300
#define IDM_REDO                 2310
#define IDM_RESIZE               2320
#define IDM_CROP                 2330
/* RESIZEDIALOG */
#define IDC_RESIZE_BY_EDGE       12100  /* radio: the long edge in pixels */
#define IDC_RESIZE_EDGE          12101
#define IDC_RESIZE_BY_BOX        12102  /* radio: fitted inside width x height */
#define IDC_RESIZE_BOX_WIDTH     12103
#define IDC_RESIZE_BOX_HEIGHT    12104
#define IDC_RESIZE_BY_PERCENT    12105  /* radio: per cent */
#define IDC_RESIZE_PERCENT       12106
#define IDC_RESIZE_NOW           12107  /* the picture's size */
#define IDC_RESIZE_RESULT        12108  /* the size the picture will have */
/* Batch window (menu File > Batch; BATCHDIALOG).  Radio ids run in the
   order of the choices' enumerations (app/batch_arguments.h). */
#define RES_DLG_BATCH            "BATCHDIALOG"
#define IDM_BATCH                1850
#define IDC_BATCH_INPUTS         12300  /* list box: files and folders */
#define IDC_BATCH_ADD_FILES      12301
#define IDC_BATCH_ADD_FOLDER     12302
#define IDC_BATCH_CLEAR          12303
#define IDC_BATCH_RECURSIVE      12304
#define IDC_BATCH_OUTPUT         12305
#define IDC_BATCH_BROWSE_OUTPUT  12306
#define IDC_BATCH_SUFFIX         12307
#define IDC_BATCH_TYPE_SAME      12310  /* ..12314: same, BMP, JPEG, PNG, WebP */
#define IDC_BATCH_TYPE_WEBP      12314
#define IDC_BATCH_QUALITY        12315
#define IDC_BATCH_LOSSLESS       12316
#define IDC_BATCH_META_ALL       12317  /* ..12319: all, all but location, none */
#define IDC_BATCH_META_NONE      12319
#define IDC_BATCH_RESIZE_NONE    12320  /* ..12323: none, long edge, per cent, fit */
#define IDC_BATCH_RESIZE_FIT     12323
#define IDC_BATCH_LONG_EDGE      12324
#define IDC_BATCH_PERCENT        12325
#define IDC_BATCH_FIT_WIDTH      12326
#define IDC_BATCH_FIT_HEIGHT     12327
#define IDC_BATCH_MARK_FILE      12330  /* radio: a watermark file */
#define IDC_BATCH_MARK_TEXT      12331  /* radio: a text */
#define IDC_BATCH_MARK_PATH      12332
#define IDC_BATCH_BROWSE_MARK    12333
#define IDC_BATCH_TEXT           12334
#define IDC_BATCH_FONT           12335
#define IDC_BATCH_TEXT_HEIGHT    12336
#define IDC_BATCH_PLACE_OWN      12340  /* ..12343: own size, tiled, stretched, sized */
#define IDC_BATCH_PLACE_SIZED    12343
#define IDC_BATCH_MARK_SIZE      12344
#define IDC_BATCH_MARGIN_X       12345
#define IDC_BATCH_MARGIN_Y       12346
#define IDC_BATCH_ANCHOR_NW      12350  /* ..12358: the nine anchors, row by row */
#define IDC_BATCH_ANCHOR_SE      12358
#define IDC_BATCH_PROGRESS       12360
#define IDC_BATCH_CURRENT        12361
#define IDC_BATCH_COUNT          12362
#define IDC_BATCH_TIME_LEFT      12363
#define IDC_BATCH_SUMMARY        12364
#define IDC_BATCH_START          12365
#define IDC_BATCH_STOP           12366

/* Text watermark: menu command and TEXTMARKDIALOG (ids 2500, 12200-12299) */
#define RES_DLG_TEXTMARK         "TEXTMARKDIALOG"
#define IDM_TEXTMARK             2500
#define IDC_TEXTMARK_TEXT        12200  /* edit: the text (Unicode, takes the IME) */
#define IDC_TEXTMARK_FONT        12201  /* push button: the font dialog */
#define IDC_TEXTMARK_FACE        12202  /* the chosen face's name */
#define IDC_TEXTMARK_HEIGHT      12203  /* edit: pixels from one baseline to the next */
#define IDC_TEXTMARK_SOFTEN      12204  /* horizontal bar, 0..10 passes */
#define IDC_TEXTMARK_SOFTEN_TEXT 12205
#define IDC_TEXTMARK_BEVEL       12206  /* horizontal bar: the bevel's width in pixels */
#define IDC_TEXTMARK_BEVEL_TEXT  12207
#define IDC_TEXTMARK_PREVIEW     12208  /* black frame: the mark scaled to fit */
#define IDC_TEXTMARK_MESSAGE     12209  /* what is wrong, or the mark's size */

#endif
