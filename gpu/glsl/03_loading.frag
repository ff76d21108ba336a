out vec4 o;
void main(){
 vec2 p=fc(),g=gl_FragCoord.xy/vec2(14,24);
 ivec2 cell=ivec2(g);
 int n=int(RES.x/42.),idx=cell.x/3+cell.y*n,col=cell.x%3;
 vec3 c=vec3(0);
 // The partial byte at the right edge would repeat the next row's first one.
 if(col<2&&cell.x/3<n&&float(idx)<DT*65536.){
  int b=exeByte(idx);
  float fresh=exp(-.002*(DT*65536.-float(idx)));
  c=.6*glyph(hexc(col==0?b>>4:b&15),fract(g),1.5)*mix(vec3(.05,.06,.08),vec3(1,.5,.2),fresh);
 }
 c*=.4+.6*ss(.6,0.,length(p));
 float tx=text(4,p,vec2(0,-.02),.055,true)+.6*text(5,p,vec2(0,-.2),.045,true);
 c=mix(c,vec3(.95,.92,.88),tx);
 if(abs(p.y+.07)<=.002&&abs(p.x)<=.35)c+=p.x<=-.35+.7*DT?vec3(2,1.1,.5):vec3(.15);
 o=vec4(c*ss(0.,.6,T),1);
}
