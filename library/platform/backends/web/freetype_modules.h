/* The FreeType modules the browser build links (scripts/web-freetype.sh): TrueType
 * outlines, the auto-hinter that light hinting uses, and the anti-aliasing renderer. The
 * faces the page carries need nothing else, and every other driver would only add to
 * the code each page loads. */
FT_USE_MODULE( FT_Module_Class, autofit_module_class )
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Module_Class, psnames_module_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
