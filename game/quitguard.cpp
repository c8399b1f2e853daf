// Two pieces at the edge of the game: the notice that asks before the console's back key ends it, and
// the housecall, one GET request at start-up whose answer switches a module flag.
#include "game/myapp.h"

namespace {

// "¬" followed by a letter draws the button icon of that key.
String withIcon(const char *before, char letter, const char *after) {
    return String(before) + String::FromChar(0xAC) + String::FromChar(letter) + String(after);
}

} // namespace

int c_MyApp::p_OuyaQuit() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;

    // Negative alpha: the frame is not cleared, the notice is drawn over what was there.
    p_CLS2D(220, 220, 200, -1);
    p_SetCol(0, 0, 128, 1);
    p_Rect(32, 32, jscrw - 64, jscrh - 64);

    p_SetCol(255, 0, 0, 0.4f);
    p_Oval(jscrw - 48, jscrh - 16, 3, 3);
    p_Oval(jscrw - 48, jscrh - 16, 2, 2);
    p_Oval(jscrw - 49, jscrh - 17, 1, 1);

    struct Line {
        String text;
        float scale;
        float down;
    };
    const Line lines[] = {
        {String("Unexpected Quit"), 3, 36},          {String("The player is trying to quit"), 2, 20},
        {String("without using the lovely"), 2, 20}, {String("quit button on the Menu."), 2, 46},
        {String("What should I do?"), 2, 38},        {withIcon("Hit ", 'K', " to Quit"), 2, 20},
        {withIcon("or ", 'J', " to Ignore"), 2, 20},
    };
    p_SetCol(255, 255, 255, 1);
    float y = static_cast<float>(tide_int(0.3 * jscrh));
    for (const Line &line : lines) {
        p_SetSize(line.scale);
        p_Text(64, y, line.text, 0, 1, 0);
        y += line.down;
    }
    p_ResetDraw();

    // A key still held from the screen before acts only once the latches have cleared. Both keys are
    // looked at: a quit key held with the ignore key still quits.
    if (keyLatch == 0 && pointerLatch == 0) {
        if (p_PlayKeyAll(10, 0) > 0) {
            gameMode = 1;
            keyLatch = pointerLatch = 1;
        }
        if (p_PlayKeyAll(11, 0) > 0 || p_PlayKeyAll(12, 0) > 0 || p_PlayKeyAll(99, 0) > 0) rtError(String());
    }
    return 0;
}

int c_MyApp::p_GetURL(String url, String query) {
    houseReply = String("N/A");
    String address = url + String("?") + query;
    c_HttpRequest *req = (new c_HttpRequest)->m_new();
    gc_assign(httpReq, req);
    req->p_Open(String("GET"), address, this);
    req->p_Send();
    rtPrint(String("Requesting URL"));
    houseDone = 0;
    return 0;
}

void c_MyApp::p_OnHttpRequestComplete(c_HttpRequest *req) {
    if (req != httpReq) return;
    rtPrint(String("Http GET complete! ") + String(req->p_Status()));
    houseDone = 1;
    houseReply = req->p_ResponseText();
    if (houseReply.Length() > 0) rt_Brinefall_J_On_Able = 1;
}

void c_MyApp::markShell() {
    gc_mark_q(toyPoints);
    gc_mark_q(httpReq);
}
