#include "highlighters/standard.h"

#include "highlighters/css.h"
#include "highlighters/html.h"
#include "highlighters/java.h"
#include "highlighters/jscript.h"
#include "highlighters/pascal.h"
#include "highlighters/uri.h"

void RegisterStandardHighlighters() {
  for (TSrcCustomHighlighterClass c :
       {&TSrcHTMLSrc::ClassInfo, &TSrcPasSrc::ClassInfo, &TSrcJScriptSrc::ClassInfo, &TSrcJavaSrc::ClassInfo,
        &TSrcCssSrc::ClassInfo, &TSrcURISrc::ClassInfo})
    RegisterHighlighterClass(c);
}
