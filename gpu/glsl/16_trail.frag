out vec4 o;
void main(){
 float k=isCalm(BAR)>.5||shapeAt(BAR)==13||shapeAt(BAR)==21?.88:0.;
 o=PP.w<.5?vec4(0,0,0,k):vec4(texelFetch(TC,ivec2(gl_FragCoord.xy),0).rgb,1);
}
