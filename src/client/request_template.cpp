// The example request document.
#include "client/request_template.h"

namespace webapitest {

const std::u16string_view RequestTemplate =
    u"<kqxml version='1.0'>\r\n"
    u" <webapirequest>\r\n"
    u"  <user sid='' />\r\n"
    u"  <client host='127.0.0.1' origin='127.0.0.1' />\r\n"
    u"  <server host='127.0.0.1:3380' />\r\n"
    u"  <service name='kqhrx' entrypoint='baseVariable' />\r\n"
    u"  <requestdata format='XML'>\r\n"
    u"   <data>5</data>\r\n"
    u"  </requestdata>\r\n"
    u" </webapirequest>\r\n"
    u"</kqxml>";

}  // namespace webapitest
