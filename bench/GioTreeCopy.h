#pragma once

// The copy GNOME Files makes, for the copy benchmarks, run as a process of its own like the other
// sides. `gio copy` copies no folders, so a tree is walked as GNOME Files walks it: each folder is
// made, its entries are copied one by one with g_file_copy (the routine behind `gio copy`), keeping
// all metadata and never following links, and then the folder gets its own attributes.
#include <gio/gio.h>

#include <cstdio>

namespace bench {

inline bool gioCopy(GFile* from, GFile* to, GError** error)
{
    const GFileCopyFlags flags = GFileCopyFlags(G_FILE_COPY_NOFOLLOW_SYMLINKS | G_FILE_COPY_ALL_METADATA);
    if (g_file_query_file_type(from, G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr) != G_FILE_TYPE_DIRECTORY)
        return g_file_copy(from, to, flags, nullptr, nullptr, nullptr, error);
    if (!g_file_make_directory(to, nullptr, error))
        return false;
    GFileEnumerator* entries = g_file_enumerate_children(from, G_FILE_ATTRIBUTE_STANDARD_NAME,
                                                         G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, error);
    if (!entries)
        return false;
    bool copied = true;
    while (copied) {
        GFileInfo* info = nullptr;
        GFile* child = nullptr;
        if (!g_file_enumerator_iterate(entries, &info, &child, nullptr, error)) {
            copied = false;
            break;
        }
        if (!info)
            break;
        GFile* target = g_file_get_child(to, g_file_info_get_name(info));
        copied = gioCopy(child, target, error);
        g_object_unref(target);
    }
    g_object_unref(entries);
    return copied && g_file_copy_attributes(from, to, flags, nullptr, error);
}

// Copies the path `from` to the path `to`; the exit status of the process.
inline int gioCopyMain(const char* from, const char* to)
{
    GFile* source = g_file_new_for_path(from);
    GFile* destination = g_file_new_for_path(to);
    GError* error = nullptr;
    const bool copied = gioCopy(source, destination, &error);
    if (!copied)
        std::fprintf(stderr, "gio copy failed: %s\n", error ? error->message : "?");
    g_clear_error(&error);
    g_object_unref(source);
    g_object_unref(destination);
    return copied ? 0 : 1;
}

}  // namespace bench
