/*
 * Korvo host interface: what a Korvo module may call, and what it exports.
 *
 * A module exports exactly one function, krv_main (see KrvMainFn). With message 1
 * the host hands over a pointer to its root table, KrvHost. The root's first field
 * is the interface version; every further field points to a service table. Each
 * service table begins with its own size in bytes, so that a table can grow at its
 * end without breaking a module built against an older header: a module checks
 * `size` before it calls an entry that was added later (KRV_HAS_ENTRY).
 *
 * Handles (documents, objects, tags, materials, channels, files, dialogs, libraries)
 * are opaque pointers; none of them is ever null when valid. Value types whose
 * storage the module provides (KrvString, KrvFileName, KrvContainer, KrvValue,
 * KrvParamId) are constructed in place by the host and must be destroyed by the
 * module through the same table.
 *
 * Results: entries that can fail answer 0 (or null) on failure and nonzero on
 * success unless stated otherwise. The host never throws across this boundary.
 *
 * This header is plain C (C99) and is the only thing a module and a host share.
 */
#ifndef KORVO_SDK_H
#define KORVO_SDK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define KRV_INTERFACE_VERSION 7500

#if defined(_WIN32)
#define KRV_CALL __cdecl
#define KRV_EXPORT __declspec(dllexport)
#else
#define KRV_CALL
#define KRV_EXPORT __attribute__((visibility("default")))
#endif

/* A four-character code: the first character in the most significant byte. */
#define KRV_FOURCC(a, b, c, d) \
    (((uint32_t)(uint8_t)(a) << 24) | ((uint32_t)(uint8_t)(b) << 16) | \
     ((uint32_t)(uint8_t)(c) << 8) | (uint32_t)(uint8_t)(d))

/* True when `table` (a pointer to a service table) is large enough to hold `member`. */
#define KRV_HAS_ENTRY(table, type, member) \
    ((table) != NULL && (table)->size >= offsetof(type, member) + sizeof((table)->member) && \
     (table)->member != NULL)

/* ---------------------------------------------------------------------------------
 * Plain values
 * ------------------------------------------------------------------------------- */

typedef struct KrvVector { float x, y, z; } KrvVector;

/* The host's affine placement: a point p maps to offset + axis1*p.x + axis2*p.y + axis3*p.z. */
typedef struct KrvMatrix { KrvVector offset, axis1, axis2, axis3; } KrvMatrix;

/* A time of numerator / denominator seconds. */
typedef struct KrvTime { float numerator, denominator; } KrvTime;

/* A polygon: point indices a, b, c, d; a triangle has d == c. */
typedef struct KrvPolygon { int32_t a, b, c, d; } KrvPolygon;

/* Texture coordinates of one polygon's corners a, b, c, d: x is u, y is v, z is 0. */
typedef struct KrvPolygonUV { KrvVector a, b, c, d; } KrvPolygonUV;

/* The normals of one polygon's corners a, b, c, d, as a normal tag keeps them (not
 * necessarily of unit length). */
typedef struct KrvPolygonNormals { KrvVector a, b, c, d; } KrvPolygonNormals;

/* ---------------------------------------------------------------------------------
 * Handles and module-provided storage
 * ------------------------------------------------------------------------------- */

typedef struct KrvDocumentImpl* KrvDocument;
typedef struct KrvObjectImpl* KrvObject;
typedef struct KrvTagImpl* KrvTag;
typedef struct KrvMaterialImpl* KrvMaterial;
typedef struct KrvChannelImpl* KrvChannel;
typedef struct KrvFileImpl* KrvFile;
typedef struct KrvDialogImpl* KrvDialog;
typedef struct KrvLibraryImpl* KrvLibrary;
typedef struct KrvResourceImpl* KrvResource;

/* Unicode text. Storage is the module's; construct/destroy through KrvStringTable. */
typedef struct KrvString { void* impl; } KrvString;

/* A file name. Storage is the module's; construct/destroy through KrvFileNameTable. */
typedef struct KrvFileName { void* impl; } KrvFileName;

/* A settings container: an id and typed entries addressed by 32-bit ids. */
typedef struct KrvContainer { void* impl; } KrvContainer;

/* A value read from a parameter or a dialog element: a kind and the host's data.
 * A holder of kind KRV_VALUE_NONE or KRV_VALUE_IMMEDIATE owns nothing; every other
 * kind owns host storage and must be destroyed through KrvValueTable. */
typedef struct KrvValue { int32_t kind; void* data; } KrvValue;

enum {
    KRV_VALUE_NONE = 0,      /* empty: reads give 0 */
    KRV_VALUE_IMMEDIATE = 15, /* an integer held in `data` itself; owns nothing */
    KRV_VALUE_INT = 16,
    KRV_VALUE_REAL = 19,
    KRV_VALUE_VECTOR = 23
};

/* A parameter identifier: up to three levels of ids. Built by library 1000467. */
typedef struct KrvParamId { int32_t depth; int32_t ids[3]; } KrvParamId;

/* Entry types of a container (KrvContainerTable.entry_type). */
enum {
    KRV_ENTRY_ABSENT = -1,
    KRV_ENTRY_INT = 15,
    KRV_ENTRY_REAL = 19,
    KRV_ENTRY_TIME = 22,
    KRV_ENTRY_VECTOR = 23,
    KRV_ENTRY_STRING = 130
};

/* Object types (KrvObjectTable.is_instance). */
enum {
    KRV_TYPE_POLYGON = 5100,
    KRV_TYPE_NULL = 5140,
    KRV_TYPE_BONE = 5123,
    KRV_TYPE_CUBE = 5159,
    KRV_TYPE_PLANE = 5168,
    KRV_TYPE_SPHERE = 5160,
    KRV_TYPE_CAMERA = 5103,
    KRV_TYPE_LIGHT = 5102
};

/* Tag and data types. */
enum {
    KRV_TAG_POINTS = 5600,
    KRV_TAG_POLYGONS = 5604,
    KRV_TAG_PHONG = 5612,
    KRV_TAG_TEXTURE = 5616,
    KRV_TAG_UVW = 5671,
    KRV_TAG_NORMALS = 5690  /* a normal per polygon corner: KrvTagTable.normals_of_polygons */
};

/* Parameter entries the module reads and the host answers.
 * A bone's rest placement, in its parameter container (vectors). */
enum {
    KRV_REST_POSITION = 1007,
    KRV_REST_SCALE = 1008,
    KRV_REST_ROTATION = 1009
};
/* The texture tag's mapping (reals): U = (u - offset U) * scale U, likewise V. */
enum {
    KRV_TEXTURE_OFFSET_U = 1000,
    KRV_TEXTURE_OFFSET_V = 1001,
    KRV_TEXTURE_SCALE_U = 1014,
    KRV_TEXTURE_SCALE_V = 1015
};
/* The phong tag: whether its angle limits the smoothing (integer), and the angle in
 * radians (real). */
enum {
    KRV_PHONG_LIMIT = 1001,
    KRV_PHONG_ANGLE = 1002
};

/* Document settings entries (KrvDocumentTable.get_settings / set_settings). */
enum {
    KRV_DOC_TIME = 1000,     /* time */
    KRV_DOC_FPS = 1001,      /* int */
    KRV_DOC_MAXTIME = 1003   /* time */
};

/* Copy flag for a working copy of a document. */
#define KRV_COPY_WORKING 1024
/* The document message (KrvDocumentTable.message) that tells it that it changed. */
#define KRV_DOC_CHANGED 5

/* Modelling commands (KrvCommandTable.send). */
enum {
    KRV_COMMAND_MAKE_EDITABLE = 230, /* generator -> new polygon object in `result` */
    KRV_COMMAND_OPTIMIZE = 227,      /* container entry KRV_OPTIMIZE_ENTRY = 1; changes nothing here */
    KRV_COMMAND_TRIANGULATE = 221    /* quads (a,b,c,d) -> (a,b,c) and (a,c,d), in place */
};

/* The container entry of KRV_COMMAND_OPTIMIZE that switches its optimisation on. */
#define KRV_OPTIMIZE_ENTRY 2079

/* The objects a modelling command yields. Allocated by the host; freed with
 * KrvCommandTable.free_result. */
typedef struct KrvObjectList { int32_t count; KrvObject* items; } KrvObjectList;

/* The record passed with a modelling command: nine 32-bit fields on a 32-bit target. */
typedef struct KrvCommandData {
    KrvDocument document;    /* or null */
    KrvObject object;
    KrvContainer* settings;  /* or null */
    int32_t mode;            /* 0 */
    int32_t reserved1;       /* 0 */
    int32_t reserved2;       /* 0 */
    int32_t flags;           /* 1 */
    int32_t reserved3;       /* 0 */
    KrvObjectList* result;   /* filled by the host */
} KrvCommandData;

/* ---------------------------------------------------------------------------------
 * Service tables
 * ------------------------------------------------------------------------------- */

/* Unicode strings. 8-bit text is Latin-1 both ways; a character above U+00FF turns
 * into '?' on the way out. */
typedef struct KrvStringTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* An empty string in the storage the module provides. */
    void (KRV_CALL* construct)(KrvString* s);
    /* Gives back what the string holds. */
    void (KRV_CALL* destroy)(KrvString* s);
    /* Dst becomes a copy of src. */
    void (KRV_CALL* assign)(KrvString* dst, const KrvString* src);
    /* Set from 8-bit text: `length` bytes, or up to the terminator when -1. `encoding` 0 is Latin-1. */
    void (KRV_CALL* set_text)(KrvString* s, const char* text, int32_t length, int32_t encoding);
    /* The number of characters. */
    int32_t (KRV_CALL* length)(const KrvString* s);
    /* Inserts other before character `position`. */
    void (KRV_CALL* insert)(KrvString* s, int32_t position, const KrvString* other);
    /* Nonzero when found at or after `start`; the position of the first occurrence in *position. */
    int32_t (KRV_CALL* find)(const KrvString* s, const KrvString* pattern, int32_t* position, int32_t start);
    /* Removes `count` characters from `position` on. */
    void (KRV_CALL* remove)(KrvString* s, int32_t position, int32_t count);
    /* Writes at most `max` characters and a terminator into `buffer` (which holds max + 1
     * bytes); returns the characters written. `encoding` 0 is Latin-1. */
    int32_t (KRV_CALL* to_text)(const KrvString* s, char* buffer, int32_t max, int32_t encoding);
    /* Frees a string the host allocated and returned (see the *_alloc entries). */
    void (KRV_CALL* free_allocated)(KrvString* s);
} KrvStringTable;

typedef struct KrvMemoryTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* Null when refused. `reserved1` and `reserved2` are 0. */
    void* (KRV_CALL* alloc)(size_t bytes, int32_t reserved1, int32_t reserved2);
    /* Gives back a block from alloc; null is not passed. */
    void (KRV_CALL* free)(void* block);
} KrvMemoryTable;

/* The kind of a message to the user (KrvConsoleTable.message) that warns. */
#define KRV_MESSAGE_WARNING 48

typedef struct KrvConsoleTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* One line on the host console. */
    void (KRV_CALL* print_line)(const KrvString* text);
    /* A message to the user; `kind` KRV_MESSAGE_WARNING is a warning. */
    void (KRV_CALL* message)(const KrvString* text, int32_t kind);
} KrvConsoleTable;

typedef struct KrvContainerTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* An empty container with `id`, in the storage the module provides. */
    void (KRV_CALL* construct)(KrvContainer* c, int32_t id);
    /* Gives back what the container holds. */
    void (KRV_CALL* destroy)(KrvContainer* c);
    /* Dst becomes a copy of src (flags 0). */
    void (KRV_CALL* copy)(KrvContainer* dst, const KrvContainer* src, int32_t flags);
    /* The container's id. */
    int32_t (KRV_CALL* get_id)(const KrvContainer* c);
    /* Sets the container's id. */
    void (KRV_CALL* set_id)(KrvContainer* c, int32_t id);
    /* KRV_ENTRY_ABSENT (-1) when the entry is not there. */
    int32_t (KRV_CALL* entry_type)(const KrvContainer* c, int32_t entry);
    /* An integer entry read as a flag, `fallback` when absent. */
    int32_t (KRV_CALL* get_flag)(const KrvContainer* c, int32_t entry, int32_t fallback);
    /* Sets an integer entry read as a flag. */
    void (KRV_CALL* set_flag)(KrvContainer* c, int32_t entry, int32_t value);
    /* An integer entry, `fallback` when absent. */
    int32_t (KRV_CALL* get_int)(const KrvContainer* c, int32_t entry, int32_t fallback);
    /* Sets an integer entry. */
    void (KRV_CALL* set_int)(KrvContainer* c, int32_t entry, int32_t value);
    /* A real entry, `fallback` when absent. */
    float (KRV_CALL* get_real)(const KrvContainer* c, int32_t entry, float fallback);
    /* Sets a real entry. */
    void (KRV_CALL* set_real)(KrvContainer* c, int32_t entry, float value);
    /* A vector entry, `fallback` when absent. */
    KrvVector (KRV_CALL* get_vector)(const KrvContainer* c, int32_t entry, KrvVector fallback);
    /* Sets a vector entry. */
    void (KRV_CALL* set_vector)(KrvContainer* c, int32_t entry, KrvVector value);
    /* A time entry, `fallback` when absent. */
    KrvTime (KRV_CALL* get_time)(const KrvContainer* c, int32_t entry, KrvTime fallback);
    /* Sets a time entry. */
    void (KRV_CALL* set_time)(KrvContainer* c, int32_t entry, KrvTime value);
    /* A newly allocated string (free with KrvStringTable.free_allocated), or null when absent. */
    KrvString* (KRV_CALL* get_string_alloc)(const KrvContainer* c, int32_t entry);
    /* Sets a string entry to a copy of `value`. */
    void (KRV_CALL* set_string)(KrvContainer* c, int32_t entry, const KrvString* value);
} KrvContainerTable;

typedef struct KrvValueTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* Gives back the storage of a holder that owns some. */
    void (KRV_CALL* destroy)(KrvValue* v);
    /* The value as an integer, 0 when empty. */
    int32_t (KRV_CALL* get_int)(const KrvValue* v);
    /* The value as a real, 0 when empty. */
    float (KRV_CALL* get_real)(const KrvValue* v);
    /* The value as a vector, zero when empty. */
    KrvVector (KRV_CALL* get_vector)(const KrvValue* v);
} KrvValueTable;

typedef struct KrvFileNameTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* An empty file name in the storage the module provides. */
    void (KRV_CALL* construct)(KrvFileName* f);
    /* Gives back what the file name holds. */
    void (KRV_CALL* destroy)(KrvFileName* f);
    /* Dst becomes a copy of src. */
    void (KRV_CALL* copy)(KrvFileName* dst, const KrvFileName* src);
    /* A newly allocated string (free with KrvStringTable.free_allocated), or null. */
    KrvString* (KRV_CALL* to_string_alloc)(const KrvFileName* f);
    /* The file name becomes the text of `s`. */
    void (KRV_CALL* set_string)(KrvFileName* f, const KrvString* s);
    /* Removes the suffix and its point, if there is one. */
    void (KRV_CALL* remove_suffix)(KrvFileName* f);
    /* The suffix without its point. */
    void (KRV_CALL* set_suffix)(KrvFileName* f, const KrvString* suffix);
    /* Destroys and frees a file-name object the host allocated. */
    void (KRV_CALL* free_object)(KrvFileName* f);
} KrvFileNameTable;

/* Files. Opening for writing creates a temporary file beside the target; a
 * successful close renames it over the target. A file whose write failed is
 * dropped at close (close answers 0) and any earlier file at the name stays. */
/* Mode, access and share of a file opened for writing (KrvFileTable.open). */
#define KRV_FILE_WRITE 2

typedef struct KrvFileTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* A new file object, or null. */
    KrvFile (KRV_CALL* create)(void);
    /* Frees a file object; an open file is dropped, not committed. */
    void (KRV_CALL* free)(KrvFile file);
    /* mode, access, share: KRV_FILE_WRITE each opens for writing; type and creator are
     * four-character codes. */
    int32_t (KRV_CALL* open)(KrvFile file, const KrvFileName* name, int32_t mode, int32_t access,
                             int32_t share, uint32_t type, uint32_t creator);
    /* Nonzero when the file was committed. */
    int32_t (KRV_CALL* close)(KrvFile file);
    /* Nonzero when every byte was accepted. */
    int32_t (KRV_CALL* write)(KrvFile file, const void* bytes, int32_t count);
} KrvFileTable;

/* A dialog's message callback: the dialog, an item handle or null, the message
 * (a container whose id is the message code, KRV_DIALOG_MSG_*). */
typedef int32_t (KRV_CALL* KrvDialogCallback)(KrvDialog dialog, void* item, const KrvContainer* message);

/* Dialog element kinds (KrvDialogTable.add_element). */
enum {
    KRV_ELEMENT_CHECKBOX = 2,
    KRV_ELEMENT_STATIC = 3,
    KRV_ELEMENT_NUMBER = 8,
    KRV_ELEMENT_BUTTONS = 19,
    KRV_ELEMENT_TITLE = 20,
    KRV_ELEMENT_LAYOUT_DONE = 24,
    KRV_ELEMENT_CLOSE_CHECK = 32
};

typedef struct KrvDialogTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* A new dialog that reports to `callback` and carries `object`, or null. */
    KrvDialog (KRV_CALL* create)(KrvDialogCallback callback, void* object);
    /* Frees a dialog. */
    void (KRV_CALL* free)(KrvDialog dialog);
    /* The object the dialog was created with. */
    void* (KRV_CALL* object_of)(KrvDialog dialog);
    /* The object behind an item handle passed to the callback. */
    void* (KRV_CALL* object_of_item)(void* item);
    /* Runs the dialog; returns when it is closed. Nonzero when it could be shown. */
    int32_t (KRV_CALL* open)(KrvDialog dialog, int32_t mode, int32_t reserved, int32_t x, int32_t y,
                             int32_t width, int32_t height);
    /* Closes an open dialog; nonzero when it was open. */
    int32_t (KRV_CALL* close)(KrvDialog dialog);
    /* Adds an element; `text` may be null. `extra` is the border style of a static text,
     * the button set of a button row, otherwise 0. */
    int32_t (KRV_CALL* add_element)(KrvDialog dialog, int32_t kind, int32_t id, const KrvString* text,
                                    int32_t layout, int32_t width, int32_t height, int32_t extra);
    /* Opens a group of elements laid out in `columns` and `rows`, with an optional title. */
    int32_t (KRV_CALL* group_begin)(KrvDialog dialog, int32_t id, int32_t layout, int32_t columns,
                                    int32_t rows, const KrvString* title, int32_t group_flags);
    /* Closes the innermost open group. */
    int32_t (KRV_CALL* group_end)(KrvDialog dialog);
    /* Border style; bit 31 set: the border carries the group's title. */
    int32_t (KRV_CALL* group_border)(KrvDialog dialog, uint32_t style);
    /* The space between the group's elements. */
    int32_t (KRV_CALL* group_spacing)(KrvDialog dialog, int32_t horizontal, int32_t vertical);
    /* The space between the group's border and its elements. */
    int32_t (KRV_CALL* group_border_space)(KrvDialog dialog, int32_t left, int32_t top, int32_t right,
                                           int32_t bottom);
    /* Enables (nonzero) or disables element `id`. */
    int32_t (KRV_CALL* enable)(KrvDialog dialog, int32_t id, int32_t enabled);
    /* `value`: id KRV_DIALOG_VALUE_INT or KRV_DIALOG_VALUE_REAL with the KRV_DIALOG_VALUE_* entries. */
    int32_t (KRV_CALL* set_value)(KrvDialog dialog, int32_t id, const KrvContainer* value);
    /* Fills `out` with the element's value (destroy it through KrvValueTable). */
    int32_t (KRV_CALL* get_value)(KrvDialog dialog, int32_t id, KrvValue* out);
    /* Hands a result container of a message back to the host. */
    int32_t (KRV_CALL* send_result)(KrvDialog dialog, const KrvContainer* result);
} KrvDialogTable;

typedef struct KrvDocumentTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* A new document (KRV_COPY_WORKING for a working copy), or null. Release it with release. */
    KrvDocument (KRV_CALL* copy)(KrvDocument document, int32_t flags);
    /* Gives back a document made by copy. */
    void (KRV_CALL* release)(KrvDocument document);
    /* The first top-level object, or null. */
    KrvObject (KRV_CALL* first_object)(KrvDocument document);
    /* Fills `out` (constructed by the caller) with the entries KRV_DOC_*. `mode` is 0. */
    void (KRV_CALL* get_settings)(KrvDocument document, int32_t mode, KrvContainer* out);
    /* Sets the entries KRV_DOC_* that `settings` holds; `mode` is 0. */
    void (KRV_CALL* set_settings)(KrvDocument document, int32_t mode, const KrvContainer* settings);
    /* Evaluates the scene at its current time (flags 0, 0, 1). */
    int32_t (KRV_CALL* evaluate)(KrvDocument document, int32_t a, int32_t b, int32_t c);
    /* Message 5: the document changed. */
    void (KRV_CALL* message)(KrvDocument document, int32_t message, void* data);
    /* Takes: the named animations of the document, each over a time range of its own; the
     * document evaluates its current take. Check KRV_HAS_ENTRY before calling any of the
     * four: older hosts lack them.
     * The number of takes, 0 when the document has none (its time range is its animation). */
    int32_t (KRV_CALL* take_count)(KrvDocument document);
    /* Assigns take `index`'s name to `out`, a string the caller constructed; 0 for no such take. */
    int32_t (KRV_CALL* take_name)(KrvDocument document, int32_t index, KrvString* out);
    /* The take's time range from `start` to `end`; 0 for no such take. */
    int32_t (KRV_CALL* take_range)(KrvDocument document, int32_t index, KrvTime* start, KrvTime* end);
    /* Makes take `index` the current one; 0 for no such take. */
    int32_t (KRV_CALL* set_current_take)(KrvDocument document, int32_t index);
} KrvDocumentTable;

typedef struct KrvObjectTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* Nonzero when the object is of `type` (KRV_TYPE_*). */
    int32_t (KRV_CALL* is_instance)(KrvObject object, int32_t type);
    /* The first child, or null. */
    KrvObject (KRV_CALL* first_child)(KrvObject object);
    /* The next sibling, or null. */
    KrvObject (KRV_CALL* next)(KrvObject object);
    /* The parent, or null for a top-level or free object. */
    KrvObject (KRV_CALL* parent)(KrvObject object);
    /* Assigns the name to `out`, a string the caller constructed. */
    void (KRV_CALL* get_name)(KrvObject object, KrvString* out);
    /* Sets the object's name. */
    void (KRV_CALL* set_name)(KrvObject object, const KrvString* name);
    /* The object's placement in the world. */
    KrvMatrix (KRV_CALL* global_matrix)(KrvObject object);
    /* Its position relative to its parent. */
    KrvVector (KRV_CALL* position)(KrvObject object);
    /* Its rotation relative to its parent (heading, pitch, bank in radians). */
    KrvVector (KRV_CALL* rotation)(KrvObject object);
    /* Its scale relative to its parent. */
    KrvVector (KRV_CALL* scale)(KrvObject object);
    /* Reads parameter `id` into `out` (flags 0); nonzero when the object has it. */
    int32_t (KRV_CALL* read_parameter)(KrvObject object, const KrvParamId* id, KrvValue* out, int32_t flags);
    /* Copies the object's parameters into `out`, a container the caller constructed. */
    void (KRV_CALL* get_parameters)(KrvObject object, KrvContainer* out);
    /* A new free object (release it with release), or null. */
    KrvObject (KRV_CALL* copy)(KrvObject object, int32_t flags);
    /* Gives back an object made by copy. */
    void (KRV_CALL* release)(KrvObject object);
    /* Point data (KRV_TAG_POINTS) and polygon data (KRV_TAG_POLYGONS) of a polygon
     * object, owned by the host; null and a count of 0 for other objects. */
    const KrvVector* (KRV_CALL* points)(KrvObject object, int32_t* count);
    /* See points. */
    const KrvPolygon* (KRV_CALL* polygons)(KrvObject object, int32_t* count);
    /* One weight per point of `polygon_object` for `bone`, allocated with the memory
     * service (free it with KrvMemoryTable.free), or null when the bone has none. */
    float* (KRV_CALL* bone_weights)(KrvObject polygon_object, KrvObject bone);
    /* The object's first tag of `type` at `index` (0 for the first), or null. */
    KrvTag (KRV_CALL* find_tag)(KrvObject object, int32_t type, int32_t index);
    /* Nonzero when `bone` has weights for `polygon_object`: tells a bone without weights
     * from a weight array the memory service refused (bone_weights answers null for both).
     * Check KRV_HAS_ENTRY before calling: older hosts lack it. */
    int32_t (KRV_CALL* has_bone_weights)(KrvObject polygon_object, KrvObject bone);
    /* The bones of the object's document that have weights for `polygon_object`, in no
     * particular order: *count handles in a block allocated with the memory service (free
     * it with KrvMemoryTable.free), or null with *count 0 when there is none. Null with
     * *count -1 when the host cannot tell (an object outside a document) or the block is
     * refused. Check KRV_HAS_ENTRY before calling: older hosts lack it. */
    KrvObject* (KRV_CALL* weighting_bones)(KrvObject polygon_object, int32_t* count);
} KrvObjectTable;

typedef struct KrvTagTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* Reads parameter `id` into `out` (flags 0); nonzero when the tag has it. */
    int32_t (KRV_CALL* read_parameter)(KrvTag tag, const KrvParamId* id, KrvValue* out, int32_t flags);
    /* Copies the tag's parameters into `out`, a container the caller constructed. */
    void (KRV_CALL* get_parameters)(KrvTag tag, KrvContainer* out);
    /* The UV record of polygon `index` of a UV tag. */
    KrvPolygonUV (KRV_CALL* uv_of_polygon)(KrvTag tag, int32_t index);
    /* The material a texture tag refers to, or null. */
    KrvMaterial (KRV_CALL* material)(KrvTag tag);
    /* The UV records of polygons first .. first + count - 1 of a UV tag into out[0 .. count - 1],
     * as uv_of_polygon gives them one by one: nonzero, or 0 when the tag is no UV tag or the
     * range leaves its polygons (out is then zero where uv_of_polygon would answer zero).
     * Check KRV_HAS_ENTRY before calling: older hosts lack it. */
    int32_t (KRV_CALL* uv_of_polygons)(KrvTag tag, int32_t first, int32_t count, KrvPolygonUV* out);
    /* The corner normals of polygons first .. first + count - 1 of a normal tag into
     * out[0 .. count - 1]: nonzero, or 0 when the tag is no normal tag or the range leaves
     * its polygons (out is then zero there). Check KRV_HAS_ENTRY before calling: older
     * hosts lack it, and their objects carry no normal tag. */
    int32_t (KRV_CALL* normals_of_polygons)(KrvTag tag, int32_t first, int32_t count, KrvPolygonNormals* out);
} KrvTagTable;

/* Material channels and their colour parameters. */
enum {
    KRV_CHANNEL_COLOR = 0,
    KRV_CHANNEL_LUMINANCE = 1,
    KRV_CHANNEL_TRANSPARENCY = 2,
    KRV_CHANNEL_SPECULAR = 9,
    KRV_PARAM_COLOR = 2100,
    KRV_PARAM_LUMINANCE = 2300,
    KRV_PARAM_TRANSPARENCY = 2400,
    KRV_PARAM_SPECULAR = 3100,
    KRV_CHANNEL_TEXTURE = 1002 /* string entry of a channel's data */
};

typedef struct KrvMaterialTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* Channel KRV_CHANNEL_* of the material, or null. */
    KrvChannel (KRV_CALL* channel)(KrvMaterial material, int32_t channel);
    /* Copies the channel's data into `out`, a container the caller constructed. */
    void (KRV_CALL* channel_data)(KrvChannel channel, KrvContainer* out);
    /* Nonzero when the channel is switched on. */
    int32_t (KRV_CALL* channel_enabled)(KrvMaterial material, int32_t channel);
    /* Reads parameter `id` into `out` (flags 0); nonzero when the material has it. */
    int32_t (KRV_CALL* read_parameter)(KrvMaterial material, const KrvParamId* id, KrvValue* out,
                                       int32_t flags);
} KrvMaterialTable;

typedef struct KrvCommandTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* Nonzero on success. */
    int32_t (KRV_CALL* send)(int32_t command, KrvCommandData* data);
    /* Gives back the objects a command yielded and their list. */
    void (KRV_CALL* free_result)(KrvObjectList* result);
} KrvCommandTable;

/* A host library's table: its second 32-bit field is its size in bytes; entries are
 * found by their byte offset. Library 1000467 has this layout. */
#define KRV_LIBRARY_BASE 1000467
#define KRV_LIBRARY_LOOKUP_SIZE 28
typedef struct KrvBaseLibrary {
    /* The library's version. */
    int32_t version;
    /* This table's size in bytes. */
    int32_t size;
    /* offset 8 */
    int32_t (KRV_CALL* register_description)(int32_t plugin_id, const KrvString* name, KrvResource resource);
    /* An empty identifier in the storage the module provides. */
    void (KRV_CALL* param_construct)(KrvParamId* id);
    /* Gives back what the identifier holds. */
    void (KRV_CALL* param_destroy)(KrvParamId* id);
    /* Sets a one-level identifier from the triple (id, 0, 0). */
    void (KRV_CALL* param_set)(KrvParamId* id, int32_t a, int32_t b, int32_t c);
} KrvBaseLibrary;

typedef struct KrvPluginTable {
    /* This table's size in bytes. */
    uint32_t size;
    /* register(9000, kind, id, name, record, record size): nonzero when accepted. */
    int32_t (KRV_CALL* register_plugin)(int32_t what, int32_t kind, int32_t id, const KrvString* name,
                                        void* record, int32_t record_size);
    /* The library with `id`, asked for with a size value, or null. */
    KrvLibrary (KRV_CALL* find_library)(int32_t id, int32_t size_value);
    /* Fills three values; the third is the library's table. 0 when there is none. */
    int32_t (KRV_CALL* library_table)(KrvLibrary library, int32_t* version, int32_t* flags,
                                      const void** table);
    /* Gives back a resource the host handed to the module. */
    void (KRV_CALL* free_resource)(KrvResource resource);
    /* The general service without arguments (lets the host do its idle work). */
    void (KRV_CALL* idle)(void);
} KrvPluginTable;

/* The root table handed over with message 1. */
typedef struct KrvHost {
    int32_t version; /* KRV_INTERFACE_VERSION */
    const KrvStringTable* string;
    /* Blocks of memory. */
    const KrvMemoryTable* memory;
    /* Console lines and messages to the user. */
    const KrvConsoleTable* console;
    /* Settings containers. */
    const KrvContainerTable* container;
    /* Value holders. */
    const KrvValueTable* value;
    /* File names. */
    const KrvFileNameTable* filename;
    /* Files. */
    const KrvFileTable* file;
    /* Dialogs. */
    const KrvDialogTable* dialog;
    /* Documents, their settings and takes. */
    const KrvDocumentTable* document;
    /* Objects of a document. */
    const KrvObjectTable* object;
    /* Tags of an object. */
    const KrvTagTable* tag;
    /* Materials and their channels. */
    const KrvMaterialTable* material;
    /* Modelling commands. */
    const KrvCommandTable* command;
    /* Registration, host libraries, resources and idle work. */
    const KrvPluginTable* plugin;
} KrvHost;

/* ---------------------------------------------------------------------------------
 * Dialogs: messages, values and the settings dialog's elements
 *
 * The numbers a dialog's callback receives and the dialog table's value containers
 * carry, and the element ids of the export module's settings dialog, which a host
 * uses to set its elements as a user would. Codes written as four characters are
 * KRV_FOURCC values.
 * ------------------------------------------------------------------------------- */

/* Message codes: the id of the container a dialog's callback receives. The element or
 * message id a message is about is in one of the KRV_DIALOG_ENTRY_* entries below. */
enum {
    KRV_DIALOG_MSG_NOTICE = 10020,                               /* a notice to the dialog */
    KRV_DIALOG_MSG_HOST = KRV_FOURCC('M', 'c', 'i', 'M'),        /* a host message: ENTRY_HOST_ID */
    KRV_DIALOG_MSG_SYNC = KRV_FOURCC('s', 'y', 'n', 'c'),        /* a host synchronisation: ENTRY_HOST_ID */
    KRV_DIALOG_MSG_ACTION = KRV_FOURCC('b', 'A', 'C', 'T'),      /* a button pressed: ENTRY_ELEMENT */
    KRV_DIALOG_MSG_LAYOUT = KRV_FOURCC('b', 'I', 'N', 'I'),      /* add the elements; first of an opening */
    KRV_DIALOG_MSG_VALUES = KRV_FOURCC('b', 'V', 'I', 'N'),      /* set the values and enabled states */
    KRV_DIALOG_MSG_CHECK_CLOSE = KRV_FOURCC('c', 'h', 'k', 'c'), /* may the dialog close? nonzero: yes */
    KRV_DIALOG_MSG_ASK_CLOSE = KRV_FOURCC('a', 's', 'k', 'c'),   /* the user asks to close; nonzero: allowed */
    KRV_DIALOG_MSG_COMMAND_NOTICE = KRV_FOURCC('c', 'm', 'd', 'n'), /* a command's notice: ENTRY_COMMAND */
    KRV_DIALOG_MSG_COMMAND = KRV_FOURCC('c', 'm', 'm', 'd'),     /* the user changed an element: ENTRY_COMMAND */
    KRV_DIALOG_MSG_DESTROYED = KRV_FOURCC('d', 's', 't', 'y'),   /* the dialog closed; last of an opening */
    KRV_DIALOG_MSG_IDLE = KRV_FOURCC('i', 'n', 't', 'a')         /* the host idles while the dialog is open */
};

/* Integer entries of a message; a message without its entry is about id 0. */
enum {
    KRV_DIALOG_ENTRY_HOST_ID = KRV_FOURCC('M', 'c', 'i', 'I'), /* the id of MSG_HOST and MSG_SYNC */
    KRV_DIALOG_ENTRY_ELEMENT = KRV_FOURCC('m', 'e', 'i', 'd'), /* the element of MSG_ACTION */
    KRV_DIALOG_ENTRY_COMMAND = KRV_FOURCC('c', 'm', 'd', 'i')  /* the element of MSG_COMMAND(_NOTICE) */
};

/* The button row (KRV_ELEMENT_BUTTONS): its `extra` value and the ids of its buttons. */
enum {
    KRV_BUTTONS_OK_CANCEL = 3, /* `extra` of a row of the two buttons below */
    KRV_BUTTON_OK = 1,         /* confirms: the element id of its KRV_DIALOG_MSG_ACTION */
    KRV_BUTTON_CANCEL = 2      /* cancels, likewise */
};

/* Value kinds: the id of the container passed to KrvDialogTable.set_value. */
enum {
    KRV_DIALOG_VALUE_INT = KRV_FOURCC('v', 'i', 'n', 't'), /* a 32-bit integer; a checkbox is one from 0 to 1 */
    KRV_DIALOG_VALUE_REAL = KRV_FOURCC('v', 'f', 'l', 't') /* a 32-bit float */
};

/* Entries of a value container, and the formats of its KRV_DIALOG_VALUE_FORMAT entry. */
enum {
    KRV_DIALOG_VALUE_VALUE = KRV_FOURCC('v', 'a', 'l', 'u'),    /* the value, of the container's kind */
    KRV_DIALOG_VALUE_FORMAT = KRV_FOURCC('f', 'r', 'm', 't'),   /* int: KRV_DIALOG_FORMAT_* */
    KRV_DIALOG_VALUE_MINIMUM = KRV_FOURCC('m', 'i', 'n', 'i'),  /* the smallest value the user may enter */
    KRV_DIALOG_VALUE_MAXIMUM = KRV_FOURCC('m', 'a', 'x', 'i'),  /* the largest */
    KRV_DIALOG_VALUE_STEP = KRV_FOURCC('s', 't', 'e', 'p'),     /* the step of the field's arrows; 0 for a checkbox */
    KRV_DIALOG_VALUE_TRISTATE = KRV_FOURCC('t', 'r', 'i', 's'), /* int: 0, the element has no third state */
    KRV_DIALOG_VALUE_QUADWORD = KRV_FOURCC('q', 'u', 'a', 'd'), /* int: 0 (reals only) */
    KRV_DIALOG_FORMAT_INT = KRV_FOURCC('f', 'l', 'n', 'g'),     /* shown as a whole number */
    KRV_DIALOG_FORMAT_REAL = KRV_FOURCC('f', 'r', 'e', 'a')     /* shown as a decimal number */
};

/* Element ids of the settings dialog the export module shows before every export.
 * Nothing is addressed through a group's id; it only names the group. */
enum {
    KRV_SETTINGS_GENERALS = 10002,          /* group "Generals" */
    KRV_SETTINGS_ANGLE_LABEL = 10003,       /* static text "Smoothing angle" */
    KRV_SETTINGS_SMOOTHING_ANGLE = 10004,   /* real, degrees from 0 to 180 */
    KRV_SETTINGS_OPTIONS = 10005,           /* group of the options */
    KRV_SETTINGS_NORMALS = 10006,           /* checkbox "Export normals" */
    KRV_SETTINGS_TEXTURES = 10007,          /* checkbox "Export textures" */
    KRV_SETTINGS_FRAMES = 10008,            /* checkbox "Export frames" */
    KRV_SETTINGS_ANIMATION = 10009,         /* checkbox "Export animation" */
    KRV_SETTINGS_THRESHOLDS = 10010,        /* groups "Animationthresholds" and "Standard-material" */
    KRV_SETTINGS_TICKS_PER_FRAME = 10011,   /* integer: key time units per frame */
    KRV_SETTINGS_STANDARD_MATERIAL = 10012, /* checkbox "Use standard-material" */
    KRV_SETTINGS_FACE_COLOR = 10020,        /* reals: red, green, blue, alpha at 10020 to 10023 */
    KRV_SETTINGS_SPECULAR_COLOR = 10025,    /* reals: red, green, blue, alpha at 10025 to 10028 */
    KRV_SETTINGS_EMISSIVE_COLOR = 10030,    /* reals: red, green, blue, alpha at 10030 to 10033 */
    KRV_SETTINGS_SPECULAR_POWER = 10035,    /* real */
    KRV_SETTINGS_BONES = 10037,             /* checkbox "Export bones" */
    KRV_SETTINGS_ONLY_BONES = 10038,        /* checkbox "Only bones" */
    KRV_SETTINGS_DISTANCE_PER_FRAME = 10039, /* integer: frames between exported keys */
    KRV_SETTINGS_PHONG_ANGLE = 10040,       /* checkbox: read the smoothing angle from the phong tag */
    KRV_SETTINGS_SCALE_SCENE = 10041,       /* checkbox "Scale Scene" */
    KRV_SETTINGS_SCALE_X = 10042,           /* real: scale in percent */
    KRV_SETTINGS_SCALE_Y = 10043,           /* real: scale in percent */
    KRV_SETTINGS_SCALE_Z = 10044,           /* real: scale in percent */
    KRV_SETTINGS_SCALING = 10045,           /* group "Scaling (percent)" */
    KRV_SETTINGS_UNIQUE_NAMES = 10046,      /* checkbox: add a unique number to each entity name */
    KRV_SETTINGS_FRAME_PER_FILE = 10047,    /* checkbox "Each frame to separat file" */
    KRV_SETTINGS_FRAME_RATE = 10048,        /* checkbox: write the animation's ticks per second */
    KRV_SETTINGS_NORMAL_TAGS = 10050,       /* checkbox "Use normal tags": vertex normals from the normal tag */
    KRV_SETTINGS_ALL_TAKES = 10051          /* checkbox "Export all takes" */
};

/* ---------------------------------------------------------------------------------
 * What a module exports
 * ------------------------------------------------------------------------------- */

/* krv_main(message, data, value, text). Messages: 1 start (data: the KrvHost root,
 * text: the start text), 2 register plug-ins, 3 end, 4 and 6 queries, and
 * KRV_MSG_MODULE_INFO. */
typedef int32_t (KRV_CALL* KrvMainFn)(int32_t message, void* data, int32_t value, const char* text);

enum {
    KRV_MSG_START = 1,
    KRV_MSG_REGISTER = 2,
    KRV_MSG_END = 3,
    /* data: a KrvModuleInfo; answers 1 when the module filled it. A code no host of the
     * older messages sends, so that an older module answers it as unknown (-1). */
    KRV_MSG_MODULE_INFO = KRV_FOURCC('m', 'i', 'n', 'f')
};

/* What a module tells about itself (KRV_MSG_MODULE_INFO): the host sets `size` to the
 * record's size in bytes and the module fills the fields that fit, so that the record
 * can grow at its end like a service table. */
typedef struct KrvModuleInfo {
    uint32_t size;
    /* The module's version as text, e.g. "1.22"; static, owned by the module. */
    const char* version;
} KrvModuleInfo;

/* The version of the export module, as its settings dialog shows it and its
 * KRV_MSG_MODULE_INFO answers. */
#define KRV_EXPORT_MODULE_VERSION "1.22"

/* ---------------------------------------------------------------------------------
 * Scene-saver registration
 * ------------------------------------------------------------------------------- */

#define KRV_REGISTER_WHAT 9000
#define KRV_PLUGIN_SCENE_SAVER 25
#define KRV_SAVER_RECORD_SIZE 288

typedef void* KrvSaver; /* a saver object made by the module's allocation function */

typedef KrvSaver (KRV_CALL* KrvSaverAllocFn)(void);
typedef void (KRV_CALL* KrvSaverDestroyFn)(KrvSaver saver);
/* save(saver, host object, target file name, document, flags): 0 written, cancelled or
 * not asked (bit 0 of flags clear); negative on failure (-7: no working copy). */
typedef int32_t (KRV_CALL* KrvSaverSaveFn)(KrvSaver saver, void* host_object, const KrvFileName* name,
                                           KrvDocument document, int32_t flags);
/* Forwarding entries of the saver's other operations, the thirteen defaults of the
 * saver's table after its destructor; the host defines their arguments. */
typedef int32_t (KRV_CALL* KrvSaverOp1)(KrvSaver saver, intptr_t a);
typedef int32_t (KRV_CALL* KrvSaverOp2)(KrvSaver saver, intptr_t a, intptr_t b);
typedef int32_t (KRV_CALL* KrvSaverOp3)(KrvSaver saver, intptr_t a, intptr_t b, intptr_t c);
typedef int32_t (KRV_CALL* KrvSaverOp4)(KrvSaver saver, intptr_t a, intptr_t b, intptr_t c, intptr_t d);
typedef int32_t (KRV_CALL* KrvSaverOp5)(KrvSaver saver, intptr_t a, intptr_t b, intptr_t c, intptr_t d,
                                        intptr_t e);

/* The registration record. Every entry is pointer-sized, so on a 32-bit target the
 * offsets are those in the comments and the record is 288 bytes; on 64-bit the same
 * entries follow in the same order, each 8 bytes wide. Unused entries are 0. */
typedef struct KrvSaverRecord {
    intptr_t info;                 /* 0: information flags */
    KrvSaverDestroyFn destroy;     /* 4 */
    intptr_t reserved_8[8];        /* 8 .. 36 */
    intptr_t last_value;           /* 40 */
    intptr_t reserved_44[2];       /* 44, 48 */
    KrvSaverAllocFn allocate;      /* 52 */
    /* The default operations, numbered in the order of the saver's table; each
     * forwards to its operation, which ignores its arguments. */
    KrvSaverOp1 default_op1;       /* 56: answers 1 */
    KrvSaverOp1 default_op2;       /* 60: does nothing, answers 0 */
    KrvSaverOp3 default_op3;       /* 64: answers 1 */
    KrvSaverOp2 default_op4;       /* 68: answers 1 */
    KrvSaverOp5 default_op6;       /* 72: answers 1 */
    KrvSaverOp3 default_op5;       /* 76: answers 1 */
    KrvSaverOp1 default_op8;       /* 80: answers 0 */
    KrvSaverOp2 default_op7;       /* 84: does nothing, answers 0 */
    KrvSaverOp3 default_op10;      /* 88: answers 0 */
    KrvSaverOp4 default_op11;      /* 92: answers 1 */
    KrvSaverOp4 default_op13;      /* 96: answers 1 */
    KrvSaverOp5 default_op12;      /* 100: answers 1 */
    KrvSaverOp3 default_op9;       /* 104: answers 0 */
    intptr_t reserved_108[13];     /* 108 .. 156 */
    const KrvString* suffix;       /* 160 */
    KrvSaverSaveFn save;           /* 164 */
    intptr_t reserved_168[30];     /* 168 .. 284 */
} KrvSaverRecord;

#if defined(__cplusplus)
#define KRV_STATIC_ASSERT static_assert
#else
#define KRV_STATIC_ASSERT _Static_assert
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
KRV_STATIC_ASSERT(sizeof(KrvSaverRecord) == KRV_SAVER_RECORD_SIZE, "saver record is 288 bytes");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, destroy) == 4, "destroy at 4");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, last_value) == 40, "last value at 40");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, allocate) == 52, "allocate at 52");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, default_op1) == 56, "first default operation at 56");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, default_op8) == 80, "eighth default operation at 80");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, default_op9) == 104, "ninth default operation at 104");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, suffix) == 160, "suffix at 160");
KRV_STATIC_ASSERT(offsetof(KrvSaverRecord, save) == 164, "save at 164");
KRV_STATIC_ASSERT(sizeof(KrvCommandData) == 36, "command record is nine 32-bit fields");
#endif
KRV_STATIC_ASSERT(sizeof(KrvSaverRecord) == KRV_SAVER_RECORD_SIZE / 4 * sizeof(void*),
                  "every record entry is pointer-sized");
KRV_STATIC_ASSERT(offsetof(KrvBaseLibrary, register_description) == 8, "description entry at 8");

#ifdef __cplusplus
}
#endif

#endif /* KORVO_SDK_H */
